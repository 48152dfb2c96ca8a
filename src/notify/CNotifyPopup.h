#pragma once

#include "notify/NoticeKind.h"

#include <QBasicTimer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;

// The small borderless window that reports each command's outcome: it slides up from the bottom
// edge of the owner's screen work area at the screen's right edge, one pixel per 10 ms, stays for
// the countdown and hides by itself; a double-click hides it at once. It never takes the focus,
// stays above the other windows, and a message given before the owner is shown appears with it.
class CNotifyPopup : public QWidget
{
    Q_OBJECT

public:
    // Where the popup may appear: the whole screen, and the part of it not reserved by panels.
    struct ScreenAreas
    {
        QRect screen;
        QRect available;
    };

    // `owner` is the main window: the popup stays above it and hands the focus back to it.
    explicit CNotifyPopup(QWidget* owner);

    // Replaces what is shown at once and starts the slide afresh. A kind other than the three keeps
    // the symbol shown before.
    void ShowMessage(NoticeKind kind, const QString& text);
    void ShowMessage(int kind, const QString& text);

    // For tests: the timers' steps, run as if the timer had fired.
    void SlideTick();
    void HoldTick();
    bool IsSliding() const { return slideTimer.isActive(); }
    bool IsHolding() const { return holdTimer.isActive(); }
    int Countdown() const { return countdown; }
    QString MessageText() const { return messageText; }
    // Which symbol is visible: 0 success, 1 failure, 2 warning, -1 none yet.
    int VisibleSymbol() const;
    // For tests: replaces the owner's screen as the source of the placement.
    void SetScreenSource(std::function<ScreenAreas()> source);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLabel* AddSymbol(const char* picture, QSize size, const char* name);
    // Shows the popup on top of every window, without activating it.
    void Present();
    void ShowSymbol(int kind);
    // The owner's screen, or what the test hook gives.
    ScreenAreas PlacementAreas() const;
    // The taskbar's top edge: the popup starts there and rises until its bottom edge meets it.
    int TaskbarTop() const;

    int countdown = 0;
    QLabel* failureSymbol = nullptr;
    QLabel* successSymbol = nullptr;
    QLabel* warningSymbol = nullptr;
    QLabel* messageLabel = nullptr;
    QString messageText;
    QBasicTimer slideTimer; // 10 ms
    QBasicTimer holdTimer;  // 1000 ms
    QWidget* owner = nullptr;
    bool awaitingOwner = false; // a message waits for the owner to be shown
    std::function<ScreenAreas()> screenSource;
};
