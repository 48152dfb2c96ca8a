#pragma once

#include "dialogs/CEffectDlg.h"

class QComboBox;
class QRadioButton;

// Sets the lines effect: direction, width (1 to 3000), spacing (0 to 3000), line kind, colour and
// translucency. The two numbers are typed (read strictly, refusals explained) or stepped with
// arrows. Only one-pixel lines can be dashed: a wider line forces "实线" and disables the list.
class CLineDlg : public CEffectDlg
{
    Q_OBJECT

public:
    // `prompts` (not owned) outlives the dialog.
    CLineDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& prompts);

protected:
    bool ApplyTo(CImageDoc& doc) override;

private:
    // Fields to members, width before spacing; stops at the first refused field.
    void Read();
    // Members to fields.
    void Write();
    void ApplyWidthRule();

    CEffectPrompts& prompts;
    CColorSwatch* swatch;
    QComboBox* kind;
    QRadioButton* horizontal;
    QLineEdit* widthField;
    QLineEdit* spacingField;
    QSlider* translucency = nullptr;
    int width = 0;
    int spacing = 0;
};
