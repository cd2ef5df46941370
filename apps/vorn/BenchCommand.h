#pragma once

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

// "vorn bench [--voices N] [--seconds S] [--rate HZ] [--patch default|heavy|PRESET]": holds N
// notes for S seconds and prints how fast the synthesizer renders them. A preset file measures the
// same sound however the factory library changes (bench/patches/ holds the reference ones).
class BenchCommand {
public:
    static constexpr int kMaxVoices = 32;

    explicit BenchCommand(CLI::App& app);

    bool selected() const;
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    int voices_ = 8;
    double seconds_ = 10.0;
    int rate_ = 48000;
    std::string patch_ = "default";
};
