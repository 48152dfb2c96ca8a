#pragma once

#include "dialogs/CLevelDlg.h"

// Sets the amount of the brightness effect.
class CBrightnessDlg : public CLevelDlg
{
    Q_OBJECT

public:
    CBrightnessDlg(QWidget* owner, CCanvasHost& host);
};
