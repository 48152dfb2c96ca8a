#pragma once

#include <QBasicTimer>
#include <QDialog>

// The borderless start-up picture. It ends by itself at the second tick of its 1000 ms timer, at
// once on a double-click, or on Esc; Enter does nothing. The result is always 0.
class CSplashDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSplashDlg(QWidget* parent = nullptr);

    // One step of the timer, as if it had fired.
    void Tick();
    int Countdown() const { return countdown; }
    bool IsTiming() const { return timer.isActive(); }

public Q_SLOTS:
    void accept() override {}
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Finish();

    int countdown = 2;
    QBasicTimer timer; // 1000 ms
};
