#pragma once

#include "core/curve/CurveSlot.h"

#include <array>

// The editor's three kept curves and the operations its menus offer on them.
class CurveSlotSet
{
public:
    static constexpr int count = 3;

    CurveSlot &at(int n) { return curveSlots[static_cast<std::size_t>(n)]; }
    const CurveSlot &at(int n) const { return curveSlots[static_cast<std::size_t>(n)]; }

    void keep(int n, const VelocityCurve &curve);
    void toggleShown(int n);
    // Only one slot asks to be restored at a time.
    void requestRestore(int n);
    void remove(int n);
    void clearAll();

    // Copies the key points of a slot that asked to be restored into curve and clears the
    // request; returns whether anything was restored.
    bool takeRestore(VelocityCurve &curve);

private:
    static bool valid(int n) { return n >= 0 && n < count; }

    std::array<CurveSlot, count> curveSlots{};
};
