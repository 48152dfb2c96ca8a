// One live-preview step as the effect dialogs run it when the user moves a slider over a 6000 × 4000
// photo-like picture with nothing selected: the dialog drops its previous preview, applies the
// effect with the new position and redraws a 1920 × 1080 canvas viewport. The slider is moved as a
// drag moves it, and the repaint is forced with viewport()->repaint(), so the whole step runs
// synchronously; paints_per_step shows that each step painted once.
//
// Each step is timed beside one memcpy of the picture's bytes in the same iteration, so both see the
// same load and cache state; ratio_to_memcpy is of the medians.
//
// Run (Release build, nothing else compiling): scripts/bench.sh, or by hand
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF
//   cmake --build build-release -j2 --target quorvel_preview_bench
//   build-release/bench/quorvel_preview_bench
//
// Target, as ratio_to_memcpy: a preview step <= 2.5.
#include "BenchSupport.h"

#include "canvas/CDrawView.h"
#include "dialogs/CCanvasHost.h"
#include "dialogs/CEffectPrompts.h"
#include "dialogs/EffectDialogs.h"

#include <QCheckBox>
#include <QSlider>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;
constexpr QSize Viewport(1920, 1080);

using bench::PaintCounter;

// The main window's part in a preview: it owns the canvas the dialogs draw on.
class Host : public QWidget, public CCanvasHost
{
public:
    Host() : view(new CDrawView(this))
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("photo.bmp"));
        if (!dir.isValid() || !bench::Photo(W, H).save(path, "BMP") || !view->doc.Load(path))
            return;
        view->SetScrollSizes(QSize(W, H));
        view->setFrameShape(QFrame::NoFrame);
        resize(Viewport);
        view->resize(Viewport);
        show();
        QCoreApplication::processEvents();
        // The scroll bars take their share: grow the canvas until its viewport has the size.
        view->resize(view->size() + Viewport - view->viewport()->size());
        resize(view->size());
        QCoreApplication::processEvents();
        view->viewport()->installEventFilter(&counter);
        ready = view->viewport()->size() == Viewport;
    }
    CDrawView* Canvas() const override { return view; }
    void PreviewFailed(const QString&) override {}

    CDrawView* view;
    PaintCounter counter;
    bool ready = false;
};

std::unique_ptr<Host> hostInstance;

Host& TheHost()
{
    if (!hostInstance)
        hostInstance = std::make_unique<Host>();
    return *hostInstance;
}

// Neither chooser nor picker is used here.
class NoPrompts : public CEffectPrompts
{
public:
    std::optional<std::uint32_t> ChooseColor(QWidget*, std::uint32_t) override { return std::nullopt; }
    std::optional<std::uint32_t> PickColor() override { return std::nullopt; }
    void Refuse(QWidget*, const QString&) override {}
};

struct Case
{
    EffectCommand command;
    int slider;
    int setUpClick; // a check box ticked before timing, 0 for none
};

void PreviewStep(benchmark::State& state, const Case& c)
{
    Host& host = TheHost();
    if (!host.ready) {
        state.SkipWithError("the picture could not be loaded or the viewport sized");
        return;
    }
    NoPrompts prompts;
    const auto dialog = MakeEffectDialog(c.command, &host, host, prompts);
    if (c.setUpClick)
        dialog->findChild<QCheckBox*>(QStringLiteral("control%1").arg(c.setUpClick))->click();
    auto* slider = dialog->findChild<QSlider*>(QStringLiteral("control%1").arg(c.slider));
    const std::size_t depth = host.view->doc.UndoDepth();

    bench::CopyBaseline baseline(std::size_t(W) * H * 4);
    std::vector<double> steps, copies;
    host.view->viewport()->repaint();
    host.counter.paints = 0;
    int position = slider->value();
    for (auto _ : state) {
        position = position == 100 ? 101 : 100;
        const auto start = bench::Clock::now();
        slider->setSliderPosition(position); // drop, apply, Redraw
        host.view->viewport()->repaint();
        steps.push_back(bench::Seconds(bench::Clock::now() - start));
        copies.push_back(baseline.Time());
        state.SetIterationTime(steps.back());
    }
    const double iterations = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["ratio_to_memcpy"] = bench::Median(steps) / bench::Median(copies);
    state.counters["step_ms"] = bench::Median(steps) * 1e3;
    state.counters["memcpy_ms"] = bench::Median(copies) * 1e3;
    state.counters["paints_per_step"] = host.counter.paints / iterations;
    if (host.view->doc.UndoDepth() != depth)
        state.SkipWithError("the history does not hold exactly one preview");
    host.view->doc.DropNewest();
}

void RegisterAll()
{
    const std::pair<const char*, Case> cases[] = {
        {"Gray", {EffectCommand::Gray, 1025, 0}},
        {"Brightness", {EffectCommand::Brightness, 1025, 0}},
        {"Rgb", {EffectCommand::Rgb, 1031, 0}},
        {"Threshold", {EffectCommand::Threshold, 1025, 0}},
        {"SolidFill", {EffectCommand::SolidFill, 1041, 0}},
        {"Lines", {EffectCommand::Line, 1041, 0}},
        {"Dots", {EffectCommand::Dot, 1041, 0}},
        {"ColorFilter", {EffectCommand::ColorFilter, 1067, 1052}},
    };
    for (const auto& [name, c] : cases) {
        benchmark::RegisterBenchmark((std::string("PreviewStep/") + name).c_str(),
                                     [c](benchmark::State& state) { PreviewStep(state, c); })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithApplication(
        argc, argv, [] { RegisterAll(); }, [] { hostInstance.reset(); });
}
