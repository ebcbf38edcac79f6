#include "core/curve/CurveSlotSet.h"

void CurveSlotSet::keep(int n, const VelocityCurve &curve)
{
    if (!valid(n))
        return;
    CurveSlot &slot = at(n);
    slot.keySource = curve.keySource;
    slot.keyNew = curve.keyNew;
    slot.kept = true;
}

void CurveSlotSet::toggleShown(int n)
{
    if (valid(n))
        at(n).shown = !at(n).shown;
}

void CurveSlotSet::requestRestore(int n)
{
    if (!valid(n))
        return;
    for (int i = 0; i < count; ++i)
        at(i).restoreRequested = (i == n);
}

void CurveSlotSet::remove(int n)
{
    if (!valid(n))
        return;
    CurveSlot &slot = at(n);
    slot.deleted = true;
    slot.kept = false;
    slot.shown = false;
    slot.restoreRequested = false;
}

void CurveSlotSet::clearAll()
{
    for (CurveSlot &slot : curveSlots) {
        slot = CurveSlot{};
    }
}

bool CurveSlotSet::takeRestore(VelocityCurve &curve)
{
    for (CurveSlot &slot : curveSlots) {
        if (slot.restoreRequested) {
            slot.restoreRequested = false;
            curve.keySource = slot.keySource;
            curve.keyNew = slot.keyNew;
            return true;
        }
    }
    return false;
}
