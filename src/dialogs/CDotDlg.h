#pragma once

#include "dialogs/CEffectDlg.h"

// Sets the dots effect: left-right and top-bottom spacing (0 to 3000, typed or stepped with
// arrows), colour and translucency.
class CDotDlg : public CEffectDlg
{
    Q_OBJECT

public:
    // `prompts` (not owned) outlives the dialog.
    CDotDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& prompts);

protected:
    bool ApplyTo(CImageDoc& doc) override;

private:
    struct Spacing
    {
        QLineEdit* field;
        int value;
    };
    // Fields to members, top-bottom before left-right; stops at the first refused field.
    void Read();
    // Members to fields.
    void Write();
    // An edited field: read, replace an out-of-range spacing by 1, preview.
    void OnEdited(Spacing& spacing);
    void OnArrow(Spacing& spacing, int step);

    CEffectPrompts& prompts;
    CColorSwatch* swatch;
    QSlider* translucency = nullptr;
    Spacing topBottom;
    Spacing leftRight;
};
