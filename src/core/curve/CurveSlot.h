#pragma once

#include "core/curve/VelocityCurve.h"

// One of the curve editor's three kept comparison curves ("Curve1".."Curve3").
struct CurveSlot
{
    VelocityCurve::Points keySource{};
    VelocityCurve::Points keyNew{};
    bool kept = false;
    bool shown = false;
    bool deleted = false;
    bool restoreRequested = false;

    bool holdsCurve() const { return kept && !deleted; }
};
