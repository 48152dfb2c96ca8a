#include "dialogs/DialogLayout.h"

#include "dialogs/CColorSwatch.h"
#include "widgets/DialogUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>

namespace DialogLayout {

namespace {

QWidget* Make(QWidget* dialog, Kind kind, const QString& text)
{
    switch (kind) {
    case Kind::Label:
        return new QLabel(text, dialog);
    case Kind::CentredLabel: {
        auto* label = new QLabel(text, dialog);
        label->setAlignment(Qt::AlignCenter);
        return label;
    }
    case Kind::Field:
        return new QLineEdit(text, dialog);
    case Kind::Slider: {
        auto* slider = new QSlider(Qt::Horizontal, dialog);
        slider->setTickPosition(QSlider::NoTicks);
        return slider;
    }
    case Kind::Button: {
        // Not even while it has the focus: the dialog handles Enter itself.
        auto* button = new QPushButton(text, dialog);
        button->setAutoDefault(false);
        return button;
    }
    case Kind::Group:
        return new QGroupBox(text, dialog);
    case Kind::CheckBox:
        return new QCheckBox(text, dialog);
    case Kind::Radio:
        return new QRadioButton(text, dialog);
    case Kind::DropList:
        return new QComboBox(dialog);
    case Kind::Arrows: {
        // Only the arrows matter. The thumb rests in the middle, so neither arrow is ever at an
        // end of the range, where Qt would ignore its clicks.
        auto* arrows = new QScrollBar(Qt::Vertical, dialog);
        arrows->setRange(0, 2);
        arrows->setValue(1);
        return arrows;
    }
    case Kind::Swatch:
        return new CColorSwatch(dialog);
    case Kind::Separator: {
        auto* line = new QFrame(dialog);
        line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        return line;
    }
    }
    return nullptr;
}

} // namespace

QHash<int, QWidget*> Build(QWidget* dialog, std::span<const Control> table)
{
    QHash<int, QWidget*> controls;
    for (const Control& row : table) {
        QWidget* control = Make(dialog, row.kind, QString::fromUtf8(row.text));
        QRect place = DialogUnits::ToPixels(row.units, dialog->font());
        // A drop-down list's height in the table is that of its open list; closed it is one line.
        if (row.kind == Kind::DropList)
            place.setHeight(control->sizeHint().height());
        control->setGeometry(place);
        if (row.kind == Kind::Group || row.kind == Kind::Separator)
            control->lower();
        if (row.id != NoId) {
            // A second row with the same id would leave the first out of reach.
            if (controls.contains(row.id))
                qFatal("control %d appears twice in the layout table of \"%s\"", row.id,
                       qUtf8Printable(dialog->windowTitle()));
            control->setObjectName(QStringLiteral("control%1").arg(row.id));
            controls.insert(row.id, control);
        }
    }
    return controls;
}

} // namespace DialogLayout
