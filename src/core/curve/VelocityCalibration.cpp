#include "core/curve/VelocityCalibration.h"

#include <algorithm>
#include <cstddef>

namespace {

std::size_t at(int k)
{
    return static_cast<std::size_t>(k);
}

// The k/6 quantile of the sorted notes, interpolated between neighbours and rounded half up,
// in integers so a proposal is the same on every machine.
int sixth(const std::vector<int> &sorted, int k)
{
    const int position = k * (int(sorted.size()) - 1);
    const int below = position / 6;
    const int part = position % 6;
    int sixTimes = 6 * sorted[at(below)];
    if (part > 0)
        sixTimes += (sorted[at(below + 1)] - sorted[at(below)]) * part;
    return (sixTimes + 3) / 6;
}

} // namespace

VelocityCalibration::Proposal VelocityCalibration::fit(const std::vector<int> &velocities)
{
    std::vector<int> sorted;
    sorted.reserve(velocities.size());
    for (int v : velocities) {
        if (v >= 1 && v <= 127)
            sorted.push_back(v);
    }
    std::sort(sorted.begin(), sorted.end());

    Proposal result;
    result.notes = int(sorted.size());
    if (sorted.empty())
        return result;
    const int lo = sorted.front();
    const int hi = sorted.back();
    result.softest = lo;
    result.hardest = hi;
    if (result.notes < minimumNotes)
        return result;
    if (lo == hi) {
        result.outcome = Outcome::AllSame;
        return result;
    }

    VelocityCurve &curve = result.curve;
    curve.keyNew = proposedNews;
    for (int k = 0; k < VelocityCurve::pointCount; ++k)
        curve.keySource[at(k)] = sixth(sorted, k);

    // Each half of the curve needs a source of its own to sample, or the ends lose their
    // values: point 3 keeps at least one step from both ends. With the notes one step
    // apart there is no room: the first half then climbs all the way.
    VelocityCurve::Points &source = curve.keySource;
    if (hi - lo >= 2) {
        source[3] = std::clamp(source[3], lo + 1, hi - 1);
    } else {
        source[3] = hi;
        for (int k = 3; k < VelocityCurve::pointCount; ++k)
            curve.keyNew[at(k)] = 127;
    }
    source[1] = std::clamp(source[1], lo, source[3]);
    source[2] = std::clamp(source[2], source[1], source[3]);
    source[4] = std::clamp(source[4], source[3], hi);
    source[5] = std::clamp(source[5], source[4], hi);

    result.outcome = Outcome::Proposed;
    return result;
}

QString VelocityCalibration::describe(const Proposal &proposal)
{
    switch (proposal.outcome) {
    case Outcome::Proposed:
        return QStringLiteral("Proposal from %1 notes, softest %2, hardest %3: the orange curve. "
                              "Accept makes it the current curve; Cancel keeps the curve as it was.")
            .arg(proposal.notes)
            .arg(proposal.softest)
            .arg(proposal.hardest);
    case Outcome::AllSame:
        return QStringLiteral("All %1 notes came in at velocity %2. Play some notes softer and some "
                              "harder, from your softest to your hardest, or press Start again.")
            .arg(proposal.notes)
            .arg(proposal.softest);
    case Outcome::TooFewNotes:
        break;
    }
    if (proposal.notes == 0)
        return QStringLiteral("Play at least %1 notes on the instrument, one at a time, from your "
                              "softest to your hardest.")
            .arg(minimumNotes);
    const int more = minimumNotes - proposal.notes;
    return QStringLiteral("%1 so far: play at least %2 more, from your softest to your hardest.")
        .arg(proposal.notes == 1 ? QStringLiteral("1 note") : QStringLiteral("%1 notes").arg(proposal.notes))
        .arg(more);
}

bool VelocityCalibration::record(quint8 status, quint8 data1, quint8 data2)
{
    const std::uint32_t velocity = data2 & 0x7F;
    if (status != VelocityHistory::noteOnChannel1 || velocity == 0)
        return false;
    return played.record(status | std::uint32_t(data1 & 0x7F) << 8 | velocity << 16);
}

VelocityCalibration::Proposal VelocityCalibration::propose() const
{
    std::vector<int> velocities;
    velocities.reserve(std::size_t(played.count()));
    for (int i = 0; i < played.count(); ++i)
        velocities.push_back(played.at(i));
    return fit(velocities);
}
