#include "core/curve/CurveEditorModel.h"
#include "core/curve/CurveSysEx.h"
#include "gui/curve/CurveArea.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

// An editor in the middle of a drag, with all three kept curves shown: the heaviest redraw.
struct DraggingEditor
{
    VelocityMap map{};
    CurveEditorModel model{map};

    DraggingEditor()
    {
        model.open();
        for (int n = 0; n < CurveSlotSet::count; ++n) {
            model.press(CurveEditorModel::toX(model.curve.keySource[std::size_t(n + 1)]), 100);
            model.dragTo(CurveEditorModel::toX(25 + 20 * n), 60 + 40 * n);
            model.release();
            model.keptCurves.keep(n, model.curve);
            model.keptCurves.toggleShown(n);
        }
        model.newCurve();
        model.press(CurveEditorModel::toX(60), 200);
    }
};

// The baseline a redraw is measured against: filling the off-screen area black.
void BM_AreaFillOnly(benchmark::State &state)
{
    QImage frame(CurveEditorModel::areaWidth, CurveEditorModel::areaHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&frame);
        painter.fillRect(frame.rect(), Qt::black);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_AreaFillOnly)->Unit(benchmark::kMicrosecond);

// One drag step as the editor runs it: move the point, recompute the map, draw everything.
void BM_AreaRedrawDuringDrag(benchmark::State &state)
{
    DraggingEditor editor;
    const QPixmap mark = CurveArea::vertexMark();
    QPixmap frame(CurveEditorModel::areaWidth, CurveEditorModel::areaHeight);
    int step = 0;
    for (auto _ : state) {
        editor.model.dragTo(CurveEditorModel::toX(45 + step % 30), 100 + step % 200);
        editor.model.refresh();
        QPainter painter(&frame);
        CurveArea::render(painter, editor.model, mark);
        painter.end();
        ++step;
    }
}
BENCHMARK(BM_AreaRedrawDuringDrag)->Unit(benchmark::kMicrosecond);

// The baseline a map computation is measured against: copying a 128-entry map.
void BM_MapCopy(benchmark::State &state)
{
    VelocityMap from{};
    from.fill(7);
    VelocityMap to{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(from);
        to = from;
        benchmark::DoNotOptimize(to);
    }
}
BENCHMARK(BM_MapCopy);

void BM_MapCompute(benchmark::State &state)
{
    const VelocityCurve curve;
    VelocityMap map{};
    for (auto _ : state) {
        curve.computeMap(map);
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_MapCompute);

void BM_CurveMessageBuild(benchmark::State &state)
{
    VelocityMap map{};
    VelocityCurve{}.computeMap(map);
    for (auto _ : state)
        benchmark::DoNotOptimize(CurveSysEx::build(map));
}
BENCHMARK(BM_CurveMessageBuild);

} // namespace

int main(int argc, char **argv)
{
    // The redraw paints into pixmaps, which need a GUI application; no screen is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
