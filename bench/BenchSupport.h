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
