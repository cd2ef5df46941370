#include "gui/Modifiers.h"

#include <array>
#include <cstddef>

namespace gui {
namespace {

struct Pair {
    uint32_t combination;
    uint32_t functions;
};

// Room for every combination of the four masked bits.
struct Table {
    std::array<Pair, 16> pairs{};
    size_t count = 0;
};

Table startingTable() {
    Table t;
    t.pairs = {{{1, 4}, {2, 1}, {4, 2}, {6, 3}}};
    t.count = 4;
    return t;
}

Table& table() {
    static Table t = startingTable();
    return t;
}

}  // namespace

uint32_t ModifierTable::functionsOf(uint32_t modifiers) {
    const uint32_t combination = modifiers & modifier::kTranslationMask;
    const Table& t = table();
    for (size_t i = 0; i < t.count; ++i)
        if (t.pairs[i].combination == combination) return t.pairs[i].functions;
    return 0;
}

void ModifierTable::set(uint32_t combination, uint32_t functions) {
    Table& t = table();
    for (size_t i = 0; i < t.count; ++i) {
        if (t.pairs[i].combination == combination) {
            t.pairs[i].functions = functions;
            return;
        }
    }
    if (t.count < t.pairs.size()) t.pairs[t.count++] = {combination, functions};
}

void ModifierTable::reset() {
    table() = startingTable();
}

void ModifierTable::useShiftForFine() {
    set(1, 2);
    set(2, 4);
    set(4, 1);
    set(6, 5);
}

}  // namespace gui
