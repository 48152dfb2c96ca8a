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

    // The control ids of both dialogs' tables.
    enum Id : int
    {
        FieldId = 1022,
        OkId = 1023,
        CancelId = 1024,
        SliderId = 1025,
    };

protected:
    CLevelDlg(QWidget* owner, CCanvasHost& host, const Frame& frame, Effect effect);
    bool ApplyTo(CImageDoc& doc) override;

private:
    void OnFieldEdited();

    Effect effect;
    QLineEdit* field;
    QSlider* slider;
};
