#pragma once

#include "dialogs/CEffectDlg.h"

// A dialog that sets one level from -255 to 255 with a field and a slider: the grayscale and
// brightness dialogs. The field takes any text; it is read leniently and an out-of-range number
// puts "0" in it.
class CLevelDlg : public CEffectDlg
{
    Q_OBJECT

public:
    using Effect = bool (CImageDoc::*)(int);

protected:
    // Control ids shared by both dialogs.
    static constexpr int FieldId = 1022;
    static constexpr int SliderId = 1025;
    static constexpr int OkId = 1023;
    static constexpr int CancelId = 1024;

    CLevelDlg(QWidget* owner, const Frame& frame, Effect effect);
    bool ApplyTo(CImageDoc& doc) override;

private:
    void OnFieldEdited();

    Effect effect;
    QLineEdit* field;
    QSlider* slider;
};
