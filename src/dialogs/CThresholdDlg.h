#pragma once

#include "dialogs/CEffectDlg.h"

class QCheckBox;

// Sets the threshold of the binarization and whether its result is reversed.
class CThresholdDlg : public CEffectDlg
{
    Q_OBJECT

public:
    CThresholdDlg(QWidget* owner, CCanvasHost& host);

protected:
    bool ApplyTo(CImageDoc& doc) override;

private:
    QCheckBox* reverse;
    QSlider* threshold = nullptr;
};
