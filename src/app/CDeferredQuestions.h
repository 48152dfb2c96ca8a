#pragma once

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

class QWidget;

// Questions that arrive unasked (the update offer) wait here until the user can answer them: no
// lengthy file work is running behind its input blocker, no modal window but the owner is open,
// and no menu is. Then each is asked once, in order. User-interface thread only.
class CDeferredQuestions : public QObject
{
    Q_OBJECT

public:
    // `owner` is the main window, which may itself run modally.
    explicit CDeferredQuestions(QWidget* owner);

    // Asks `question` (which runs its own modal box) now when the user can answer, otherwise later.
    void Ask(std::function<void()> question);
    bool IsQuiet() const;
    std::size_t Pending() const { return waiting.size(); }
    // Asks the waiting questions in order while the user can answer; every retryPeriod while any waits.
    void AskWaiting();

    static constexpr int retryPeriod = 200; // ms between looks while a question waits

Q_SIGNALS:
    // `question` had to wait.
    void Deferred();

private:
    QWidget* owner;
    std::deque<std::function<void()>> waiting;
    QTimer retry;
    bool asking = false; // a question's box is open
};
