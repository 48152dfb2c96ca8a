#include "dialogs/CLevelDlg.h"

#include "document/CImageDoc.h"

#include <QLineEdit>
#include <QSlider>

CLevelDlg::CLevelDlg(QWidget* owner, CCanvasHost& host, const Frame& frame, Effect apply)
    : CEffectDlg(owner, host, frame), effect(apply), field(Control<QLineEdit>(FieldId)),
      slider(Control<QSlider>(SliderId))
{
    slider->setRange(-255, 255);
    slider->setValue(0);
    field->setText(QStringLiteral("0"));
    OnSlider(slider, [this] {
        Preview();
        WriteText(field, QString::number(Position(slider)));
    });
    connect(field, &QLineEdit::textEdited, this, &CLevelDlg::OnFieldEdited);
    Preview();
}

bool CLevelDlg::ApplyTo(CImageDoc& doc)
{
    return (doc.*effect)(Position(slider));
}

void CLevelDlg::OnFieldEdited()
{
    FollowField(field, slider);
    Preview();
}
