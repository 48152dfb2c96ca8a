#pragma once

// Pictures and timing shared by the widget benchmarks.
#include "CoreSupport.h"

#include <QApplication>
#include <QEvent>
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace bench {

// Gradients with some noise, so the encoder and the copies see ordinary pixels.
inline QImage Photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    unsigned noise = 1;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 29);
            row[x] = qRgb(int(127 + 100 * std::sin(x * 0.01)) + n, int(127 + 100 * std::cos(y * 0.013)) + n,
                          (x + y) * 255 / (width + height));
        }
    }
    return image;
}

// Two buffers of `bytes`, faulted in, for a memcpy baseline timed beside each step.
struct CopyBaseline
{
    explicit CopyBaseline(std::size_t bytes) : from(bytes, 1), to(bytes, 0) {}

    double Time()
    {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        return Seconds(Clock::now() - start);
    }

    std::vector<char> from, to;
};

// Counts the paints that reach a widget, to check that each repaint really painted.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Runs the benchmarks inside a QApplication on the offscreen platform. `before` runs once the
// application exists (registering benchmarks, warming baselines); `after` runs while it still
// does (destroying widgets).
inline int RunWithApplication(int argc, char** argv, const std::function<void()>& before,
                              const std::function<void()>& after)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    before();
    benchmark::RunSpecifiedBenchmarks();
    after();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
