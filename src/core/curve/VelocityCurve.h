#pragma once

#include <array>
#include <cstdint>

// 128 entries: entry s is the velocity the instrument sends for a key struck at velocity s.
using VelocityMap = std::array<std::int32_t, 128>;

// Seven key points that shape a velocity curve: two cubic Bezier segments sharing point 3.
struct VelocityCurve
{
    static constexpr int pointCount = 7;
    using Points = std::array<std::int32_t, pointCount>;

    static constexpr Points defaultSources{0, 20, 40, 60, 80, 100, 127};
    static constexpr Points defaultNews{0, 50, 40, 47, 55, 100, 127};

    Points keySource = defaultSources;
    Points keyNew = defaultNews;

    void resetToDefaults();

    // Updates map in place from the key points. Entries no sample reaches keep their values;
    // samples outside 0..127 are never stored. Afterwards entry 0 is at least 1 and the map
    // never falls.
    void computeMap(VelocityMap &map) const;

    bool operator==(const VelocityCurve &) const = default;
};
