#pragma once

#include "dialogs/CEffectDlg.h"

// Sets the colour and translucency of the solid fill. The colour comes from the colour chooser or
// from a pixel picked on the screen.
class CSolidFillDlg : public CEffectDlg
{
    Q_OBJECT

public:
    // `prompts` (not owned) outlives the dialog.
    CSolidFillDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& prompts);

protected:
    bool ApplyTo(CImageDoc& doc) override;

private:
    CEffectPrompts& prompts;
    CColorSwatch* fill;
    QSlider* translucency;
};
