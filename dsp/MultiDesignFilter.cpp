#include "dsp/MultiDesignFilter.h"

DesignFilter::Style& MultiDesignFilter::StyleList::add(std::string_view fileName, float inputGain,
                                                       std::span<const uint8_t> bytes) {
    styles_.push_back(std::make_unique<DesignFilter::Style>(fileName, inputGain, bytes));
    return *styles_.back();
}

void MultiDesignFilter::StyleList::addStandard(const ResourceReader& read) {
    for (const Characteristic& c : kCharacteristics) add(c.fileName, c.inputGain, read(c.fileName));
}

MultiDesignFilter::MultiDesignFilter(wave::Environment& env) : GenericFilter(env) {
    entries_.reserve(kCleanIndex + 1);
}

void MultiDesignFilter::addEntry(DesignFilter& unit, const DesignFilter::Style& style) {
    entries_.push_back({&unit, &style, nullptr});
}

void MultiDesignFilter::addEntry(FilterUnit& kernel) {
    entries_.push_back({nullptr, nullptr, &kernel});
}

void MultiDesignFilter::addEntries(DesignFilter& unit, const StyleList& styles) {
    for (size_t i = 0; i < styles.size(); ++i) addEntry(unit, styles[i]);
}

bool MultiDesignFilter::setCharacteristic(int index) {
    if (index < 0 || index >= entryCount()) return false;
    const Entry& e = entries_[index];
    if (e.unit) {
        if (!joinUnit(e.unit)) return false;
        e.unit->setStyle(e.style);
    } else {
        setKernel(e.kernel);
    }
    characteristic_ = index;
    return true;
}
