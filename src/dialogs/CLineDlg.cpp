#include "dialogs/CLineDlg.h"

#include "dialogs/CColorSwatch.h"
#include "document/CImageDoc.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Group, "线的方向", {0, 0, 70, 69}},
    {1032, Kind::Radio, "横线(&H)", {13, 15, 44, 10}},
    {1033, Kind::Radio, "竖线(&V)", {13, 38, 44, 10}},
    {NoId, Kind::Group, "", {70, 0, 118, 69}},
    {NoId, Kind::Label, "线宽:", {79, 11, 21, 8}},
    {1038, Kind::Field, "", {122, 8, 49, 14}},
    {1034, Kind::Arrows, "", {172, 8, 8, 14}},
    {NoId, Kind::Label, "线间距:", {79, 32, 29, 8}},
    {1023, Kind::Field, "", {122, 27, 49, 14}},
    {1035, Kind::Arrows, "", {172, 27, 8, 14}},
    {NoId, Kind::Label, "线的种类:", {79, 53, 37, 8}},
    {1037, Kind::DropList, "", {121, 49, 58, 122}},
    {NoId, Kind::Group, "", {0, 66, 187, 64}},
    {NoId, Kind::Label, "线的颜色:", {9, 79, 37, 8}},
    {1039, Kind::Swatch, "", {51, 74, 21, 18}},
    {1036, Kind::Button, "选择颜色(&S)", {75, 75, 55, 14}},
    {1040, Kind::CentredLabel, "半透明度:255", {1, 97, 184, 8}},
    {1041, Kind::Slider, "", {5, 107, 177, 15}},
    {1042, Kind::Button, "确定(&O)", {88, 137, 50, 14}},
    {1043, Kind::Button, "取消(&C)", {138, 137, 50, 14}},
};

// The line kinds in effect order: solid, dashed, dotted, dash-dot, dash-dot-dot.
constexpr const char* kindNames[] = {"实线", "虚线", "点线", "点划线", "点点划线"};

constexpr int widthLowest = 1;
constexpr int spacingLowest = 0;
constexpr int highest = 3000;

} // namespace

CLineDlg::CLineDlg(QWidget* owner, CEffectPrompts& prompts)
    : CEffectDlg(owner, {"线处理", {188, 153}, table, 1042, 1043}), prompts(prompts),
      swatch(Control<CColorSwatch>(1039)), kind(Control<QComboBox>(1037)), horizontal(Control<QRadioButton>(1032)),
      widthField(Control<QLineEdit>(1038)), spacingField(Control<QLineEdit>(1023))
{
    for (const char* name : kindNames)
        kind->addItem(QString::fromUtf8(name));
    horizontal->setChecked(true);
    width = 1;
    spacing = 1;
    kind->setCurrentIndex(0);
    translucency = SetUpTranslucency(255, [this] {
        Write();
        Preview();
    });
    Write();

    const auto readAndPreview = [this] {
        Read();
        Preview();
    };
    connect(horizontal, &QRadioButton::clicked, this, readAndPreview);
    connect(Control<QRadioButton>(1033), &QRadioButton::clicked, this, readAndPreview);
    connect(kind, &QComboBox::activated, this, readAndPreview);
    connect(widthField, &QLineEdit::textEdited, this, [this] {
        Read();
        ApplyWidthRule();
        Preview();
    });
    connect(spacingField, &QLineEdit::textEdited, this, [this] {
        Read();
        if (const int kept = StepOrReset(spacing, 0, spacingLowest, highest); kept != spacing) {
            spacing = kept;
            Write();
        }
        Preview();
    });
    connect(Control<QPushButton>(1036), &QPushButton::clicked, this, [this, readAndPreview] {
        if (ChooseColor(this->prompts, swatch))
            readAndPreview();
    });
    OnArrows(Control<QScrollBar>(1034), [this](int step) {
        width = StepOrReset(width, step, widthLowest, highest);
        ApplyWidthRule();
        Preview();
        Write();
    });
    OnArrows(Control<QScrollBar>(1035), [this](int step) {
        spacing = StepOrReset(spacing, step, spacingLowest, highest);
        Preview();
        Write();
    });
    readAndPreview();
}

bool CLineDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplyLines(horizontal->isChecked() ? 0 : 90, width, spacing, swatch->Color(), kind->currentIndex(),
                          Position(translucency));
}

void CLineDlg::Read()
{
    if (ReadInteger(prompts, widthField, width, widthLowest, highest))
        ReadInteger(prompts, spacingField, spacing, spacingLowest, highest);
}

void CLineDlg::Write()
{
    WriteText(widthField, QString::number(width));
    WriteText(spacingField, QString::number(spacing));
}

// A width out of range becomes 1; lines wider than one pixel are always solid.
void CLineDlg::ApplyWidthRule()
{
    if (width < widthLowest || width > highest) {
        width = 1;
        Write();
    }
    if (width == 1) {
        kind->setEnabled(true);
    } else {
        kind->setCurrentIndex(0);
        kind->setEnabled(false);
    }
}
