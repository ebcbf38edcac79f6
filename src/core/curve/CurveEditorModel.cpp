#include "core/curve/CurveEditorModel.h"

#include <algorithm>
#include <cstdlib>

namespace {

std::size_t at(int k)
{
    return static_cast<std::size_t>(k);
}

} // namespace

CurveEditorModel::CurveEditorModel(VelocityMap &map)
    : velocityMap(map)
{
}

void CurveEditorModel::open()
{
    gridOn = true;
    fullReset();
}

void CurveEditorModel::fullReset()
{
    keptCurves.clearAll();
    proposal.reset();
    curve.resetToDefaults();
    curve.computeMap(velocityMap);
    untouched = curve;
    selectedPoint = -1;
    stackFirst = stackLast = -1;
    draggingPoint = false;
    mode = DragMode::Interior;
    vertexOn = true;
    realtimeOn = false;
}

void CurveEditorModel::newCurve()
{
    curve.resetToDefaults();
    curve.computeMap(velocityMap);
    untouched = curve;
    for (int n = 0; n < CurveSlotSet::count; ++n)
        keptCurves.at(n).restoreRequested = false;
}

void CurveEditorModel::refresh()
{
    keptCurves.takeRestore(curve);
    curve.computeMap(velocityMap);
}

bool CurveEditorModel::press(int rx, int ry)
{
    selectedPoint = -1;
    stackFirst = stackLast = -1;
    if (!inArea(rx, ry))
        return false;
    const auto &source = curve.keySource;
    const auto reached = [&](int k) { return std::abs(toX(source[at(k)]) - rx) < pickDistance; };
    const auto stacked = [&](int a, int b) { return std::abs(source[at(b)] - source[at(a)]) <= 1; };
    for (int k = 1; k < VelocityCurve::pointCount; ++k) {
        if (!reached(k))
            continue;
        pick(k);
        draggingPoint = true;
        int first = k;
        int last = k;
        while (first > 1 && stacked(first - 1, first))
            --first;
        while (last + 1 < VelocityCurve::pointCount && (reached(last + 1) || stacked(last, last + 1)))
            ++last;
        if (first < last) {
            stackFirst = first;
            stackLast = last;
            pressX = rx;
            curveAtPress = curve;
        }
        return true;
    }
    return false;
}

void CurveEditorModel::pick(int k)
{
    selectedPoint = k;
    left = k - 1;
    const bool last = k == VelocityCurve::pointCount - 1;
    mode = last ? DragMode::Last : DragMode::Interior;
    right = last ? k : k + 1;
}

int CurveEditorModel::stackPointFor(int dx) const
{
    const auto &source = curve.keySource;
    const int lastInterior = VelocityCurve::pointCount - 2;
    if (dx > 0) {
        for (int k = std::min(stackLast, lastInterior); k >= stackFirst; --k) {
            if (source[at(k + 1)] - source[at(k)] > 1)
                return k;
        }
    } else {
        for (int k = stackFirst; k <= std::min(stackLast, lastInterior); ++k) {
            if (source[at(k)] - source[at(k - 1)] > 1)
                return k;
        }
    }
    // None has room that way: the last one stacked.
    return stackLast;
}

bool CurveEditorModel::dragTo(int rx, int ry)
{
    if (!draggingPoint)
        return false;
    if (stackFirst >= 0 && rx != pressX) {
        // The first sideways move chooses among the stacked points; what the first of them did
        // while the pointer went only up and down is undone.
        curve = curveAtPress;
        pick(stackPointFor(rx - pressX));
        stackFirst = stackLast = -1;
    }
    const int d = ry < 0 ? areaHeight : ry > areaHeight ? 0 : areaHeight - ry;
    const int newVelocity = d / yScale;
    if (mode == DragMode::Last) {
        curve.keySource[at(selectedPoint)] = 127;
        curve.keyNew[at(selectedPoint)] = newVelocity;
        return true;
    }
    // Between the neighbours; with no room between them it lands on one of their sources.
    int fx = rx / xScale;
    if (fx <= curve.keySource[at(left)])
        fx = curve.keySource[at(left)] + 1;
    else if (fx >= curve.keySource[at(right)])
        fx = curve.keySource[at(right)] - 1;
    curve.keySource[at(selectedPoint)] = fx;
    curve.keyNew[at(selectedPoint)] = newVelocity;
    return true;
}

bool CurveEditorModel::release()
{
    if (!draggingPoint)
        return false;
    draggingPoint = false;
    stackFirst = stackLast = -1;
    mode = DragMode::Interior;
    return true;
}

void CurveEditorModel::applyFile(const CurveFile::Contents &contents)
{
    velocityMap = contents.map;
    curve = contents.curve;
    untouched = curve;
}

void CurveEditorModel::load(const CurveFile::Contents &contents)
{
    applyFile(contents);
    for (int n = 0; n < CurveSlotSet::count; ++n) {
        CurveSlot &slot = keptCurves.at(n);
        slot.kept = false;
        slot.shown = false;
        slot.restoreRequested = false;
        slot.keySource = {};
    }
    refresh();
}

CurveFile::Contents CurveEditorModel::contents() const
{
    CurveFile::Contents result;
    result.curve = curve;
    result.map = velocityMap;
    curve.computeMap(result.map);
    return result;
}

VelocityMap CurveEditorModel::slotMap(int n) const
{
    VelocityMap map = velocityMap;
    VelocityCurve kept;
    kept.keySource = keptCurves.at(n).keySource;
    kept.keyNew = keptCurves.at(n).keyNew;
    kept.computeMap(map);
    return map;
}

VelocityMap CurveEditorModel::proposalMap() const
{
    VelocityMap map = velocityMap;
    if (proposal)
        proposal->computeMap(map);
    return map;
}

bool CurveEditorModel::acceptProposal()
{
    if (!proposal)
        return false;
    curve = *proposal;
    proposal.reset();
    curve.computeMap(velocityMap);
    return true;
}

int CurveEditorModel::tableNew(int row) const
{
    if (row <= 0 || row >= tableRows)
        return 0;
    return velocityMap[at(tableSources[at(row)])];
}
