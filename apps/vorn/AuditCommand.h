#pragma once

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

// "vorn audit [--preset NAME] [--check]": plays every preset of the preset folder (the factory
// presets on a new machine) as a musician tries them and prints loudness, true peak, mono loss,
// pitch, pitch bend, mod wheel and velocity response, and the most alike other preset. With
// --check it ends with status 1 when a preset misses a window; --sheet draws every preset's
// spectrogram into one PNG.
class AuditCommand {
public:
    explicit AuditCommand(CLI::App& app);

    bool selected() const;
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    std::string preset_;
    bool check_ = false;
    std::string sheet_;
};
