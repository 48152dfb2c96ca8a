#pragma once

#include "dialogs/CEffectDlg.h"

#include <array>

// Sets the red, green and blue amounts of the RGB adjustment, each from -255 to 255 with a field
// and a slider that follow each other as in the grayscale dialog.
class CRgbDlg : public CEffectDlg
{
    Q_OBJECT

public:
    CRgbDlg(QWidget* owner, CCanvasHost& host);

protected:
    bool ApplyTo(CImageDoc& doc) override;

private:
    struct Channel
    {
        QLineEdit* field;
        QSlider* slider;
    };
    std::array<Channel, 3> channels{}; // red, green, blue
};
