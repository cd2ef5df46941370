// Build tool: turns the text table of a filter characteristic into its binary "QVil" file.
// Usage: vorn_make_filter_characteristic table.txt output.fil
//
// Text form: '#' starts a comment; "version", "clipShape", "lowOctave" and "highOctave" are
// followed by one number; "drive", "saturation" and "resonance" by N rows of N numbers (rows:
// peak steps, columns: frequency steps).

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

void putBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    // The file is little-endian, like every host this tool runs on.
    out.insert(out.end(), bytes, bytes + size);
}

void putInt(std::vector<uint8_t>& out, int32_t v) {
    putBytes(out, &v, sizeof v);
}

void putFloat(std::vector<uint8_t>& out, float v) {
    putBytes(out, &v, sizeof v);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: vorn_make_filter_characteristic table.txt output.fil\n";
        return 1;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream text;
    for (std::string line; std::getline(in, line);) text << line.substr(0, line.find('#')) << "\n";

    std::map<std::string, double> scalars = {{"version", 1.0}};
    std::map<std::string, std::vector<float>> tables;
    std::istringstream tokens(text.str());
    std::string current;
    for (std::string token; tokens >> token;) {
        char* end = nullptr;
        const double value = std::strtod(token.c_str(), &end);
        if (end != token.c_str() + token.size()) {
            current = token;
            if (current == "drive" || current == "saturation" || current == "resonance") {
                tables[current];
            } else if (!(tokens >> scalars[current])) {
                std::cerr << argv[1] << ": " << current << " needs a value\n";
                return 1;
            }
            continue;
        }
        if (!tables.count(current)) {
            std::cerr << argv[1] << ": number " << token << " outside a table\n";
            return 1;
        }
        tables[current].push_back(static_cast<float>(value));
    }

    const char* tableOrder[] = {"drive", "saturation", "resonance"};
    const size_t count = tables["drive"].size();
    const auto n = static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(count))));
    for (const char* name : tableOrder) {
        if (tables[name].size() != count || static_cast<size_t>(n) * n != count || n < 2) {
            std::cerr << argv[1] << ": table " << name << " is not N x N like the others\n";
            return 1;
        }
    }
    for (const char* name : {"clipShape", "lowOctave", "highOctave"}) {
        if (!scalars.count(name)) {
            std::cerr << argv[1] << ": " << name << " is missing\n";
            return 1;
        }
    }

    std::vector<uint8_t> out;
    putBytes(out, "QVil", 4);
    putInt(out, static_cast<int32_t>(scalars["version"]));
    putFloat(out, static_cast<float>(scalars["clipShape"]));
    putFloat(out, static_cast<float>(scalars["lowOctave"]));
    putFloat(out, static_cast<float>(scalars["highOctave"]));
    for (const char* name : tableOrder) {
        putInt(out, n);
        for (float v : tables[name]) putFloat(out, v);
    }

    std::filesystem::create_directories(std::filesystem::path(argv[2]).parent_path());
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return file ? 0 : 1;
}
