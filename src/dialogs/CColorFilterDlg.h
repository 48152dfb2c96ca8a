#pragma once

#include "dialogs/CEffectDlg.h"

class QCheckBox;
class QLabel;
class QRadioButton;

// Sets the colour filter: per channel whether it takes part and its range, and whether the pixels
// that fail are grayed (with a level) or filled with a colour. Colour analysis shows the values of
// a colour picked on the screen, to help set the ranges; it does not touch the picture.
class CColorFilterDlg : public CEffectDlg
{
    Q_OBJECT

public:
    // `prompts` (not owned) outlives the dialog.
    CColorFilterDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& prompts);

protected:
    bool ApplyTo(CImageDoc& doc) override;

private:
    // A slider's move shows its value, and previews only while its channel takes part (for the
    // gray level: while the gray treatment is chosen).
    bool InUse(QCheckBox* channel) const;
    // The analysis swatch's colour as text.
    void ShowAnalysis();

    CEffectPrompts& prompts;
    CColorSwatch* fill;
    CColorSwatch* analysis;
    QRadioButton* grayMode;
};
