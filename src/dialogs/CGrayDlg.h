#pragma once

#include "dialogs/CLevelDlg.h"

// Sets the level of the grayscale effect.
class CGrayDlg : public CLevelDlg
{
    Q_OBJECT

public:
    CGrayDlg(QWidget* owner, CCanvasHost& host);
};
