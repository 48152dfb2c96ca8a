#pragma once

#include <QObject>

// While it exists, no mouse, key, shortcut or close request of the user reaches any window of the
// application: they are dropped, not queued. Paint and timer events go on. User-interface thread
// only.
class CInputBlocker : public QObject
{
    Q_OBJECT

public:
    CInputBlocker();
    ~CInputBlocker() override;

    // Whether any blocker exists now: nothing the user is asked meanwhile could be answered.
    static bool IsActive() { return active > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static inline int active = 0;
};
