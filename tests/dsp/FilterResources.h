#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "dsp/MultiDesignFilter.h"
#include "resources/EmbeddedResources.h"

namespace filtertest {

// A compiled-in filter characteristic by file name (its stem, any case), as the program finds it.
inline std::span<const uint8_t> characteristicBytes(std::string_view fileName) {
    const std::string_view stem = fileName.substr(0, fileName.rfind('.'));
    const auto sameLetter = [](unsigned char a, unsigned char b) {
        return std::toupper(a) == std::toupper(b);
    };
    for (const EmbeddedResource& r : embeddedResources()) {
        if (std::equal(r.name.begin(), r.name.end(), stem.begin(), stem.end(), sameLetter))
            return r.data;
    }
    throw std::out_of_range("no resource " + std::string(fileName));
}

// The ten standard characteristics, built once.
inline const MultiDesignFilter::StyleList& standardStyles() {
    static const MultiDesignFilter::StyleList list = [] {
        MultiDesignFilter::StyleList l;
        l.addStandard(characteristicBytes);
        return l;
    }();
    return list;
}

}  // namespace filtertest
