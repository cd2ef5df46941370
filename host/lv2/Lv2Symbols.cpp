#include "host/lv2/Lv2Symbols.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <unordered_set>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericParameterOwner.h"

namespace {

std::string symbolOf(const std::string& name) {
    std::string symbol;
    bool gap = false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            if (gap && !symbol.empty()) symbol += '_';
            symbol += static_cast<char>(std::tolower(u));
            gap = false;
        } else {
            gap = true;
        }
    }
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0]))) {
        return std::string(1, 'p') + symbol;
    }
    return symbol;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool isStep(std::string_view symbol) {
    return startsWith(symbol, "xlfo_") && symbol.find("_step_") != std::string_view::npos;
}

// Lower ranks come first; equal ranks keep id order.
int portRank(std::string_view symbol) {
    static constexpr std::array<std::string_view, 9> kVoiceAndOutput = {
        "master_tune",  "master_scale",  "output_volume", "output_pan",   "stereo",
        "total_voices", "unison_voices", "polyphony",     "unison_spread"};
    if (std::find(kVoiceAndOutput.begin(), kVoiceAndOutput.end(), symbol) != kVoiceAndOutput.end())
        return 0;
    const bool slot = startsWith(symbol, "slot_");
    if (slot && endsWith(symbol, "_level")) return 2;
    if (slot && (endsWith(symbol, "_bypassed") || endsWith(symbol, "_inverted"))) return 3;
    if (isStep(symbol) && endsWith(symbol, "_value")) return 4;
    if (isStep(symbol) && endsWith(symbol, "_glide")) return 5;
    if (slot) return 6;
    if (isStep(symbol)) return 7;
    return 1;
}

}  // namespace

std::vector<std::string> parameterSymbols(GenericParameterOwner& owner) {
    const int count = owner.getParameterCount();
    std::vector<std::string> symbols;
    symbols.reserve(static_cast<size_t>(count));
    std::unordered_set<std::string> used;
    for (int id = 0; id < count; ++id) {
        std::string symbol = symbolOf(owner.getParameter(id)->name());
        if (!used.insert(symbol).second) {
            symbol += '_';
            symbol += std::to_string(id);
            used.insert(symbol);
        }
        symbols.push_back(std::move(symbol));
    }
    return symbols;
}

std::vector<int> parameterPortOrder(const std::vector<std::string>& symbols) {
    std::vector<int> ids(symbols.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int>(i);
    std::stable_sort(ids.begin(), ids.end(), [&](int a, int b) {
        return portRank(symbols[static_cast<size_t>(a)]) <
               portRank(symbols[static_cast<size_t>(b)]);
    });
    return ids;
}
