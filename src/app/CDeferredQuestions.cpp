#include "app/CDeferredQuestions.h"

#include "app/CInputBlocker.h"

#include <QApplication>
#include <QWidget>

CDeferredQuestions::CDeferredQuestions(QWidget* window) : QObject(window), owner(window)
{
    retry.setInterval(retryPeriod);
    connect(&retry, &QTimer::timeout, this, &CDeferredQuestions::AskWaiting);
}

void CDeferredQuestions::Ask(std::function<void()> question)
{
    waiting.push_back(std::move(question));
    if (IsQuiet()) {
        AskWaiting();
        return;
    }
    Q_EMIT Deferred();
    retry.start();
}

bool CDeferredQuestions::IsQuiet() const
{
    const QWidget* modal = QApplication::activeModalWidget();
    return !asking && !CInputBlocker::IsActive() && (!modal || modal == owner) && !QApplication::activePopupWidget();
}

void CDeferredQuestions::AskWaiting()
{
    while (!waiting.empty() && IsQuiet()) {
        const std::function<void()> question = std::move(waiting.front());
        waiting.pop_front();
        asking = true;
        question();
        asking = false;
    }
    if (waiting.empty())
        retry.stop();
}
