#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

// Runs the event loop until `done` holds or the deadline passes, for work that other threads or a
// loopback peer finish; answers whether it holds.
inline bool ProcessUntil(const std::function<bool()>& done, int milliseconds = 10000)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}
