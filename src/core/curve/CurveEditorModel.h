#pragma once

#include "core/curve/CurveFile.h"
#include "core/curve/CurveSlotSet.h"
#include "core/curve/VelocityCurve.h"

#include <array>
#include <optional>

// The curve editor without its window: the current curve and the program-wide map it drives,
// the three kept curves, the drawing options and the drag of key points. Positions are in
// pixels of the drawing area, whose top-left corner is (0, 0): source s lies at x = 4 s and
// new velocity v at y = 3 (127 - v), so 127 is at the top.
class CurveEditorModel
{
public:
    static constexpr int xScale = 4;
    static constexpr int yScale = 3;
    static constexpr int areaWidth = 127 * xScale + 2;   // 510
    static constexpr int areaHeight = 127 * yScale;      // 381
    // A press picks a key point when it lies fewer than this many pixels beside it.
    static constexpr int pickDistance = 4;

    static constexpr int tableRows = 14;
    static constexpr std::array<int, tableRows> tableSources{0, 10, 20, 30, 40, 50, 60,
                                                             70, 80, 90, 100, 110, 120, 127};

    enum class DragMode { Interior, Last };

    // map is the program-wide velocity map, owned by the caller.
    explicit CurveEditorModel(VelocityMap &map);

    // The state of a fresh opening: grid and vertex marks on, realtime off, empty slots,
    // default key points and their map.
    void open();
    // Default: empty slots, default key points, vertex marks on, realtime off (grid unchanged).
    void fullReset();
    // New: default key points, no restore pending.
    void newCurve();
    // What every redraw does first: a pending restore replaces the key points, then the map
    // follows the key points.
    void refresh();

    // Left button at (rx, ry). Returns whether a key point was picked; a press outside the
    // area, or beside every key point, picks none. Only the horizontal distance counts. Points
    // stacked there (no room between them, or all within reach of the press) are one pick: the
    // drag's first sideways move takes the one that can go that way, so a stack can be pulled
    // apart from either end; until then the first of them follows the pointer up and down.
    bool press(int rx, int ry);
    static bool inArea(int rx, int ry) { return rx >= 0 && rx < areaWidth && ry >= 0 && ry < areaHeight; }
    // Moves the picked key point to (rx, ry), kept between its neighbours' sources; above the
    // area is 127, below it 0. Returns false when no drag is going on.
    bool dragTo(int rx, int ry);
    // Left button up: returns whether it ended a drag.
    bool release();

    // The file's map and key points become the current ones, without recomputing the map:
    // what was stored is what a send right after this transmits.
    void applyFile(const CurveFile::Contents &contents);
    // Whether the curve on screen is an edit kept nowhere: it differs from the curve the editor
    // last took from a file, saved, or reset to. Opening, New, Default, Load and a file's Send
    // set that curve; markSaved() after a save.
    bool isEdited() const { return curve != untouched; }
    void markSaved() { untouched = curve; }
    // Load: the file's curve becomes current, the kept curves are forgotten (a deleted slot
    // stays deleted), and the map follows the loaded key points.
    void load(const CurveFile::Contents &contents);
    // What Save writes: the key points and the map computed from them.
    CurveFile::Contents contents() const;

    // Map of a kept curve, for drawing it behind the current one.
    VelocityMap slotMap(int n) const;
    // Map of the proposal, for drawing it over the current curve (none: the current map).
    VelocityMap proposalMap() const;
    // The proposal becomes the current curve, the map follows and the proposal is no longer
    // drawn apart. False, and nothing changes, when there is no proposal.
    bool acceptProposal();
    // The New column of the table: the map at the row's source, except the first row reads 0.
    int tableNew(int row) const;

    static int toX(int source) { return xScale * source; }
    static int toY(int velocity) { return yScale * (127 - velocity); }

    const VelocityMap &map() const { return velocityMap; }

    VelocityCurve curve;
    CurveSlotSet keptCurves;
    // A curve offered in place of the current one (the calibration's), drawn over it and apart
    // from the kept curves, so offering it never touches a curve the user kept.
    std::optional<VelocityCurve> proposal;
    bool gridOn = true;
    bool vertexOn = true;
    bool realtimeOn = false;

    int selected() const { return selectedPoint; }
    bool dragging() const { return draggingPoint; }
    DragMode dragMode() const { return mode; }

private:
    void pick(int k);
    // The point of the pending stack that can move the way the pointer went (dx < 0: left).
    int stackPointFor(int dx) const;

    VelocityMap &velocityMap;
    VelocityCurve untouched;
    int selectedPoint = -1;
    // A press on stacked points: the range of them, and where the press was, until the first
    // sideways move chooses one (stackFirst < 0: no choice pending).
    int stackFirst = -1;
    int stackLast = -1;
    int pressX = 0;
    VelocityCurve curveAtPress;
    bool draggingPoint = false;
    DragMode mode = DragMode::Interior;
    int left = 0;
    int right = 0;
};
