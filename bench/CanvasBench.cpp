// Costs of the canvas on a 6000 × 4000 photo-like picture in a 1920 × 1080 viewport: a full paint
// with an elliptical selection outlined, and one mouse move of a freehand stroke of 10,000 points
// with the repaint it causes. Paints are forced with viewport()->repaint(), which runs the real paint
// event synchronously into the window's backing store, so Qt's own share of a frame is included;
// paints_per_iteration shows that each step painted once.
//
// Each step is timed beside one memcpy of the viewport's bytes in the same iteration, so both see the
// same load and cache state (ratio_to_memcpy, of the medians); ratio_to_warm_memcpy compares with the
// same memcpy repeated back to back beforehand, its buffers kept in the cache.
//
// Run (Release build, nothing else compiling):
//   cmake -S . -B build-canvas-rel -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF
//   cmake --build build-canvas-rel -j2 --target quorvel_canvas_bench
//   build-canvas-rel/bench/quorvel_canvas_bench
//
// Targets, as ratio_to_memcpy: a paint <= 3, a freehand move <= 5; at a zoom: a repaint fitted to
// the viewport, at 400 % and at 1/8 <= 3, one zoom step with its repaint <= 3, and the first
// repaint after a whole-picture effect, fitted, <= 1 against a memcpy of the whole picture.
#include "BenchSupport.h"

#include "canvas/CCanvasRenderer.h"
#include "canvas/CDrawView.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;
constexpr QSize Viewport(1920, 1080);
constexpr int StrokePoints = 10000;

using bench::Clock;
using bench::Median;
using bench::Seconds;

QImage Photo()
{
    return bench::Photo(W, H);
}

using bench::PaintCounter;

struct Canvas
{
    CDrawView view;
    PaintCounter counter;
    bool ready = false;

    Canvas()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("photo.bmp"));
        if (!dir.isValid() || !Photo().save(path, "BMP") || !view.doc.Load(path))
            return;
        view.SetScrollSizes(QSize(W, H));
        view.setFrameShape(QFrame::NoFrame);
        view.resize(Viewport);
        view.show();
        QCoreApplication::processEvents();
        // The scroll bars take their share of the window: grow it until the viewport has the size.
        view.resize(view.size() + Viewport - view.viewport()->size());
        QCoreApplication::processEvents();
        view.viewport()->installEventFilter(&counter);
        ready = view.viewport()->size() == Viewport;
    }
};

// Made on first use and destroyed before the application object goes.
std::unique_ptr<Canvas> canvasInstance;

Canvas& TheCanvas()
{
    if (!canvasInstance)
        canvasInstance = std::make_unique<Canvas>();
    return *canvasInstance;
}

// The same memcpy repeated back to back, so its buffers stay in the cache: the stricter baseline.
double WarmMemcpySeconds()
{
    static const double median = [] {
        std::vector<char> from(std::size_t(Viewport.width()) * Viewport.height() * 4, 1), to(from.size(), 0);
        std::vector<double> samples;
        for (int i = 0; i < 101; ++i) {
            const auto start = Clock::now();
            std::memcpy(to.data(), from.data(), from.size());
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
            samples.push_back(Seconds(Clock::now() - start));
        }
        return Median(samples);
    }();
    return median;
}

// Times `step` in every iteration, and beside it one memcpy of the viewport's bytes, so both see the
// same machine (this one is shared): the ratio is of the medians. Only the step's time is reported
// as the iteration's time. `between` runs untimed after each step.
template <typename Step, typename Between>
void TimeAgainstMemcpy(benchmark::State& state, Step step, Between between, const Canvas& canvas)
{
    static std::vector<char> from(std::size_t(Viewport.width()) * Viewport.height() * 4, 1), to(from.size(), 0);
    std::vector<double> steps, copies;
    for (auto _ : state) {
        const auto start = Clock::now();
        step();
        const auto stepped = Clock::now();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        const auto copied = Clock::now();
        steps.push_back(Seconds(stepped - start));
        copies.push_back(Seconds(copied - stepped));
        state.SetIterationTime(steps.back());
        between();
    }
    const double iterations = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["ratio_to_memcpy"] = Median(steps) / Median(copies);
    state.counters["ratio_to_warm_memcpy"] = Median(steps) / WarmMemcpySeconds();
    state.counters["step_ms"] = Median(steps) * 1e3;
    state.counters["memcpy_ms"] = Median(copies) * 1e3;
    state.counters["paints_per_iteration"] = canvas.counter.paints / iterations;
}

bool Ready(benchmark::State& state, Canvas& canvas)
{
    if (!canvas.ready)
        state.SkipWithError("the picture could not be loaded or the viewport sized");
    return canvas.ready;
}

void SendMove(QWidget* viewport, QPoint client)
{
    QMouseEvent event(QEvent::MouseMove, client, viewport->mapToGlobal(client), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &event);
}

void SendPress(QWidget* viewport, QPoint client)
{
    QMouseEvent event(QEvent::MouseButtonPress, client, viewport->mapToGlobal(client), Qt::LeftButton, Qt::LeftButton,
                      {});
    QCoreApplication::sendEvent(viewport, &event);
}

void BM_MemcpyViewport(benchmark::State& state)
{
    std::vector<char> from(std::size_t(Viewport.width()) * Viewport.height() * 4, 1), to(from.size(), 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyViewport)->Unit(benchmark::kMicrosecond);

// The ellipse spans most of the picture; the viewport shows its left end, so the outline crosses it.
void BM_PaintWithEllipse(benchmark::State& state)
{
    Canvas& canvas = TheCanvas();
    if (!Ready(state, canvas))
        return;
    CDrawView& view = canvas.view;
    view.ShowActualSize();
    view.SetTool(SelectionKind::None);
    view.doc.selection.Clear();
    view.doc.selection.AddPoint(QPoint(500, 300));
    view.doc.selection.AddPoint(QPoint(5500, 3700));
    view.doc.selection.kind = SelectionKind::Ellipse;
    view.horizontalScrollBar()->setValue(200);
    view.verticalScrollBar()->setValue(1400);
    view.viewport()->repaint();
    canvas.counter.paints = 0;
    TimeAgainstMemcpy(
        state, [&] { view.viewport()->repaint(); }, [] {}, canvas);
}
BENCHMARK(BM_PaintWithEllipse)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The share of a paint that copies the visible pixels out of the history, for comparison.
void BM_DrawVisiblePixels(benchmark::State& state)
{
    Canvas& canvas = TheCanvas();
    if (!Ready(state, canvas))
        return;
    QImage buffer(Viewport, QImage::Format_RGB32);
    buffer.fill(Qt::white);
    const QRect visible(QPoint(200, 1400), Viewport);
    canvas.counter.paints = 0;
    TimeAgainstMemcpy(
        state,
        [&] {
            QPainter painter(&buffer);
            canvas.view.doc.DrawCurrent(painter, buffer.rect(), visible);
        },
        [] {}, canvas);
}
BENCHMARK(BM_DrawVisiblePixels)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A stroke of 10,000 points laid over the whole picture: drawn a part at a time at different scroll
// positions, as a user scrolls while drawing, so most of it lies outside the viewport at the end.
void BeginStroke(CDrawView& view)
{
    QWidget* viewport = view.viewport();
    view.SetTool(SelectionKind::Freeform);
    view.horizontalScrollBar()->setValue(0);
    view.verticalScrollBar()->setValue(0);
    SendPress(viewport, QPoint(100, 100));
    constexpr int Parts = 10;
    for (int part = 0; part < Parts; ++part) {
        view.horizontalScrollBar()->setValue((W - Viewport.width()) * part / (Parts - 1));
        view.verticalScrollBar()->setValue((H - Viewport.height()) * (part % 3) / 2);
        for (int i = 0; i < StrokePoints / Parts; ++i) {
            const double t = i * 0.01;
            SendMove(viewport, QPoint(960 + int(900 * std::sin(t * 1.3)), 540 + int(500 * std::cos(t))));
        }
    }
    view.horizontalScrollBar()->setValue(2000);
    view.verticalScrollBar()->setValue(1500);
}

void BM_FreehandMove(benchmark::State& state)
{
    Canvas& canvas = TheCanvas();
    if (!Ready(state, canvas))
        return;
    CDrawView& view = canvas.view;
    view.ShowActualSize();
    BeginStroke(view);
    if (!view.IsDrawing() || view.Track().size() < StrokePoints) {
        state.SkipWithError("the stroke was not recorded");
        return;
    }
    view.viewport()->repaint();
    canvas.counter.paints = 0;
    int moves = 0;
    const auto move = [&] {
        SendMove(view.viewport(), QPoint(100 + moves % 1700, 100 + (moves / 1700) % 900));
        ++moves;
        view.viewport()->repaint();
    };
    // Keeps the stroke near 10,000 points: started afresh, untimed, every 500 moves.
    const auto restart = [&] {
        if (view.Track().size() > StrokePoints + 500)
            BeginStroke(view);
    };
    TimeAgainstMemcpy(state, move, restart, canvas);
    view.SetTool(SelectionKind::None);
}
BENCHMARK(BM_FreehandMove)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Readies the canvas fitted to the viewport with nothing selected; false when it is not ready.
bool Fitted(benchmark::State& state, Canvas& canvas)
{
    if (!Ready(state, canvas))
        return false;
    canvas.view.doc.selection.Clear();
    canvas.view.FitToWindow();
    return true;
}

// Repaints at a zoom once the reduced copies it reads exist (the paint before the timing made them).
void PaintAt(benchmark::State& state, CViewGeometry::Zoom zoom)
{
    Canvas& canvas = TheCanvas();
    if (!Ready(state, canvas))
        return;
    CDrawView& view = canvas.view;
    view.doc.selection.Clear();
    if (zoom.num == 0)
        view.FitToWindow();
    else
        view.ZoomAt(zoom, QPointF(Viewport.width() / 2.0, Viewport.height() / 2.0));
    view.viewport()->repaint();
    canvas.counter.paints = 0;
    TimeAgainstMemcpy(
        state, [&] { view.viewport()->repaint(); }, [] {}, canvas);
    view.ShowActualSize();
}

// Zoom 0/1 stands for fitted to the viewport.
BENCHMARK_CAPTURE(PaintAt, Fitted, CViewGeometry::Zoom{0, 1})->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PaintAt, 400Percent, CViewGeometry::Zoom{4, 1})->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PaintAt, OneHalf, CViewGeometry::Zoom{1, 2})->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PaintAt, OneEighth, CViewGeometry::Zoom{1, 8})->UseManualTime()->Unit(benchmark::kMicrosecond);

// The renderer's share of a fitted paint, drawn into an image of the viewport's size.
void BM_RenderFitted(benchmark::State& state)
{
    Canvas& canvas = TheCanvas();
    if (!Ready(state, canvas))
        return;
    const ImageState& picture = canvas.view.doc.CurrentState();
    const CViewGeometry geometry(picture.size(), CViewGeometry::Fit(picture.size(), Viewport));
    CCanvasRenderer renderer;
    QImage buffer(Viewport, QImage::Format_RGB32);
    buffer.fill(Qt::white);
    const auto draw = [&] {
        QPainter painter(&buffer);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        renderer.Draw(painter, picture, geometry, QRect(QPoint(0, 0), Viewport));
    };
    draw();
    canvas.counter.paints = 0;
    TimeAgainstMemcpy(
        state, draw, [] {}, canvas);
}
BENCHMARK(BM_RenderFitted)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One step in and the next out from the fitted zoom (state.range(0) == 0: the scroll bars come and
// go) or from 1/2 (they stay), each with the repaint it causes, as a key press does.
void BM_ZoomStep(benchmark::State& state)
{
    Canvas& canvas = TheCanvas();
    if (!Fitted(state, canvas))
        return;
    CDrawView& view = canvas.view;
    if (state.range(0) != 0)
        view.ZoomAt({1, 2}, QPointF(Viewport.width() / 2.0, Viewport.height() / 2.0));
    view.ZoomIn();
    view.viewport()->repaint();
    view.ZoomOut();
    view.viewport()->repaint();
    canvas.counter.paints = 0;
    bool in = true;
    std::vector<double> handlers;
    TimeAgainstMemcpy(
        state,
        [&] {
            const auto start = Clock::now();
            if (in)
                view.ZoomIn();
            else
                view.ZoomOut();
            handlers.push_back(Seconds(Clock::now() - start));
            view.viewport()->repaint();
        },
        [&] { in = !in; }, canvas);
    state.counters["handler_ms"] = Median(handlers) * 1e3;
    view.ShowActualSize();
}
BENCHMARK(BM_ZoomStep)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Fitted, the whole picture inverted (untimed), then the repaint that reduces every block again,
// beside one memcpy of the whole picture.
void BM_FirstPaintAfterWholeEffect(benchmark::State& state)
{
    Canvas& canvas = TheCanvas();
    if (!Fitted(state, canvas))
        return;
    CDrawView& view = canvas.view;
    view.viewport()->repaint();
    static bench::CopyBaseline picture(std::size_t(W) * H * 4);
    std::vector<double> paints, copies;
    for (auto _ : state) {
        state.PauseTiming();
        view.doc.DropNewest();
        if (!view.doc.ApplyInvert()) {
            state.SkipWithError("the effect failed");
            break;
        }
        state.ResumeTiming();
        const auto start = Clock::now();
        view.viewport()->repaint();
        paints.push_back(Seconds(Clock::now() - start));
        copies.push_back(picture.Time());
        state.SetIterationTime(paints.back());
    }
    view.doc.DropNewest();
    state.counters["ratio_to_picture_memcpy"] = Median(paints) / Median(copies);
    state.counters["step_ms"] = Median(paints) * 1e3;
    state.counters["memcpy_ms"] = Median(copies) * 1e3;
    view.ShowActualSize();
}
BENCHMARK(BM_FirstPaintAfterWholeEffect)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithApplication(
        argc, argv, [] { WarmMemcpySeconds(); }, [] { canvasInstance.reset(); });
}
