#pragma once

#include "core/curve/VelocityCurve.h"
#include "core/curve/VelocityHistory.h"

#include <QString>

#include <vector>

// Velocity calibration from playing: the player plays notes from softest to hardest, and the fit
// proposes key points that give the softest note the lowest velocity a note-on carries (1), the
// hardest the highest (127), and spread the notes in between evenly over the range.
//
// The fit: the velocities are sorted and key point k sits at their k/6 quantile (linear between
// neighbouring notes, rounded half up) with the new value 1 + 21 k, so 1, 22, 43, 64, 85, 106, 127.
// Points 0, 3 and 6 lie on the curve: the softest note gives 1, the median 64, the hardest 127;
// everything below the softest gives 1 and above the hardest 127. Points 1, 2, 4 and 5 pull the
// curve towards the quartiles. Sources never fall and new values rise, so the curve never falls.
// Being placed by rank, a stray note far from the others takes only its own share of the range.
class VelocityCalibration
{
public:
    static constexpr int minimumNotes = 8;
    static constexpr VelocityCurve::Points proposedNews{1, 22, 43, 64, 85, 106, 127};

    enum class Outcome { Proposed, TooFewNotes, AllSame };

    struct Proposal
    {
        Outcome outcome = Outcome::TooFewNotes;
        VelocityCurve curve;   // the proposed key points, when proposed
        int notes = 0;         // the notes counted
        int softest = 0;
        int hardest = 0;

        bool proposed() const { return outcome == Outcome::Proposed; }
    };

    // The velocities played, in any order. Values outside 1..127 are not notes and are left out.
    static Proposal fit(const std::vector<int> &velocities);
    // What the calibration says: the proposal, or what to do instead.
    static QString describe(const Proposal &proposal);

    // A short message as the input delivers it. Records a note-on on channel 1 with a velocity
    // above 0 (0 is a note-off) and returns whether it did. Like the monitor, the note after the
    // 105th starts afresh.
    bool record(quint8 status, quint8 data1, quint8 data2);
    void clear() { played.clear(); }
    // The notes played so far, for the monitor's drawing.
    const VelocityHistory &history() const { return played; }
    Proposal propose() const;

private:
    VelocityHistory played;
};
