#include "host/lv2/Lv2Symbols.h"

#include <cctype>
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
