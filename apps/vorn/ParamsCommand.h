#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// "vorn params [--json] [--set NAME=TEXT]... [--save FILE.qvp]": lists every host parameter of
// the synthesizer after applying the assignments in order, or saves them as a preset file.
class ParamsCommand {
public:
    // Adds the subcommand to app.
    explicit ParamsCommand(CLI::App& app);

    bool selected() const;
    // Prints the list to out, errors to err; returns the exit status.
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    bool json_ = false;
    std::vector<std::string> assignments_;
    std::string save_;
};

// The program's version as the version record writes it: major "." minor, the patch directly
// after the minor ("0.10" for 0.1.0), then " beta " and the beta number when there is one.
std::string vornVersionString();
