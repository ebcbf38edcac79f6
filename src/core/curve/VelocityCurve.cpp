#include "core/curve/VelocityCurve.h"

#include <cmath>
#include <cstddef>

namespace {

struct Cubic
{
    double c0, c1, c2, c3;

    Cubic(std::int32_t p0, std::int32_t p1, std::int32_t p2, std::int32_t p3)
        : c0(p0)
        , c1(3.0 * (p1 - p0))
        , c2(3.0 * (p2 - 2 * p1 + p0))
        , c3(p3 - p0 + 3.0 * (p1 - p2))
    {
    }

    int at(double t) const { return static_cast<int>(std::trunc(((c3 * t + c2) * t + c1) * t + c0)); }
};

bool inMap(int x)
{
    return x >= 0 && x < 128;
}

// Joins the previous sample to (x, y) with a straight line on the integer grid.
void fillBetween(VelocityMap &map, int px, int py, int x, int y)
{
    for (int j = px + 1; j < x; ++j) {
        if (inMap(j))
            map[static_cast<std::size_t>(j)] =
                static_cast<std::int32_t>(std::trunc(double(j - px) * (y - py) / double(x - px) + py));
    }
}

} // namespace

void VelocityCurve::resetToDefaults()
{
    keySource = defaultSources;
    keyNew = defaultNews;
}

void VelocityCurve::computeMap(VelocityMap &map) const
{
    int px = 0;
    int py = 0;

    // Segment A: the first sample to reach a given x decides that entry.
    {
        const Cubic xs(keySource[0], keySource[1], keySource[2], keySource[3]);
        const Cubic ys(keyNew[0], keyNew[1], keyNew[2], keyNew[3]);
        const int n = keySource[3] - keySource[0];
        for (int i = 0; n > 0 && i <= n; ++i) {
            const double t = double(i) / n;
            const int x = xs.at(t);
            const int y = ys.at(t);
            if (x <= px || !inMap(x))
                continue;
            fillBetween(map, px, py, x, y);
            map[static_cast<std::size_t>(x)] = y;
            px = x;
            py = y;
        }
    }

    // Segment B: the last sample at a given x decides that entry.
    {
        const Cubic xs(keySource[3], keySource[4], keySource[5], keySource[6]);
        const Cubic ys(keyNew[3], keyNew[4], keyNew[5], keyNew[6]);
        const int n = keySource[6] - keySource[3];
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n;
            const int x = xs.at(t);
            const int y = ys.at(t);
            if (!inMap(x))
                continue;
            fillBetween(map, px, py, x, y);
            map[static_cast<std::size_t>(x)] = y;
            px = x;
            py = y;
        }
    }

    if (map[0] < 1)
        map[0] = 1;
    for (std::size_t s = 1; s < map.size(); ++s) {
        if (map[s] < map[s - 1])
            map[s] = map[s - 1];
    }
}
