#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "dsp/DesignFilter.h"
#include "dsp/GenericFilter.h"

// A filter with selectable characteristics: entries 0 to 9 name a shared DesignFilter (a parallel
// unit) and the Style it takes; the last entry, added by the owner, names the filter's own
// "Clean" kernel.
class MultiDesignFilter : public GenericFilter {
public:
    struct Characteristic {
        const char* displayName;
        const char* fileName;
        float inputGain;
    };
    // The state-variable characteristics, in the order of the " Characteristic" parameter.
    static constexpr std::array<Characteristic, 10> kCharacteristics = {{
        {"Quorvalis Prime", "Prime.fil", 1.0f},
        {"Gentle", "Gentle.fil", 0.56f},
        {"Raw", "Raw.fil", 0.35f},
        {"Tube", "Tube.fil", 0.4f},
        {"Metal", "Metal.fil", 0.8f},
        {"Easy Going", "EasyGoing.fil", 0.7f},
        {"Smooth", "Smooth.fil", 0.35f},
        {"Hard", "Monopoly.fil", 0.3f},
        {"Hollow", "Cheap.fil", 0.35f},
        {"Extreme", "Extreme.fil", 0.5f},
    }};
    static constexpr int kCleanIndex = 10;
    static constexpr const char* kCharacteristicNames =
        "Quorvalis Prime,Gentle,Raw,Tube,Metal,Easy Going,Smooth,Hard,Hollow,Extreme,Clean";

    // The process-wide characteristics; created at start-up, read-only while audio runs.
    class StyleList {
    public:
        // The bytes of the resource named after a file name's stem; the caller's resource
        // lookup, which throws when the resource is missing.
        using ResourceReader = std::function<std::span<const uint8_t>(std::string_view fileName)>;

        // Appends the Style made from the characteristic's bytes (none: the built-in mapping).
        DesignFilter::Style& add(std::string_view fileName, float inputGain,
                                 std::span<const uint8_t> bytes = {});
        // Appends the ten characteristics of kCharacteristics, each from read(its file name).
        void addStandard(const ResourceReader& read);

        size_t size() const { return styles_.size(); }
        const DesignFilter::Style& operator[](size_t i) const { return *styles_[i]; }

    private:
        std::vector<std::unique_ptr<DesignFilter::Style>> styles_;
    };

    explicit MultiDesignFilter(wave::Environment& env);

    // Entries are added while the graph is built, in characteristic order.
    void addEntry(DesignFilter& unit, const DesignFilter::Style& style);
    void addEntry(FilterUnit& kernel);
    // One entry per Style of the list, all naming unit.
    void addEntries(DesignFilter& unit, const StyleList& styles);
    int entryCount() const { return static_cast<int>(entries_.size()); }

    // Joins the entry's parallel unit and gives it the entry's Style (a change of Style alone
    // keeps the filter's state), or processes alone through the entry's kernel. False for an
    // index without an entry, or when the unit has no free lane.
    bool setCharacteristic(int index);
    int characteristic() const { return characteristic_; }

private:
    struct Entry {
        DesignFilter* unit;
        const DesignFilter::Style* style;
        FilterUnit* kernel;
    };

    std::vector<Entry> entries_;
    int characteristic_ = -1;
};
