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

enum Id : int
{
    SpacingField = 1023,
    HorizontalRadio = 1032,
    VerticalRadio = 1033,
    WidthArrows = 1034,
    SpacingArrows = 1035,
    ChooseButton = 1036,
    KindList = 1037,
    WidthField = 1038,
    LineSwatch = 1039,
    TranslucencyCaption = 1040,
    TranslucencySlider = 1041,
    OkButton = 1042,
    CancelButton = 1043,
};

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,                Kind::Group,        "线的方向",     {0, 0, 70, 69}},
    {HorizontalRadio,     Kind::Radio,        "横线(&H)",     {13, 15, 44, 10}},
    {VerticalRadio,       Kind::Radio,        "竖线(&V)",     {13, 38, 44, 10}},
    {NoId,                Kind::Group,        "",             {70, 0, 118, 69}},
    {NoId,                Kind::Label,        "线宽:",        {79, 11, 21, 8}},
    {WidthField,          Kind::Field,        "",             {122, 8, 49, 14}},
    {WidthArrows,         Kind::Arrows,       "",             {172, 8, 8, 14}},
    {NoId,                Kind::Label,        "线间距:",      {79, 32, 29, 8}},
    {SpacingField,        Kind::Field,        "",             {122, 27, 49, 14}},
    {SpacingArrows,       Kind::Arrows,       "",             {172, 27, 8, 14}},
    {NoId,                Kind::Label,        "线的种类:",    {79, 53, 37, 8}},
    {KindList,            Kind::DropList,     "",             {121, 49, 58, 122}},
    {NoId,                Kind::Group,        "",             {0, 66, 187, 64}},
    {NoId,                Kind::Label,        "线的颜色:",    {9, 79, 37, 8}},
    {LineSwatch,          Kind::Swatch,       "",             {51, 74, 21, 18}},
    {ChooseButton,        Kind::Button,       "选择颜色(&S)", {75, 75, 55, 14}},
    {TranslucencyCaption, Kind::CentredLabel, "半透明度:255", {1, 97, 184, 8}},
    {TranslucencySlider,  Kind::Slider,       "",             {5, 107, 177, 15}},
    {OkButton,            Kind::Button,       "确定(&O)",     {88, 137, 50, 14}},
    {CancelButton,        Kind::Button,       "取消(&C)",     {138, 137, 50, 14}},
};
// clang-format on

// The line kinds in effect order: solid, dashed, dotted, dash-dot, dash-dot-dot.
constexpr const char* kindNames[] = {"实线", "虚线", "点线", "点划线", "点点划线"};

constexpr int widthLowest = 1;
constexpr int spacingLowest = 0;
constexpr int highest = 3000;

} // namespace

CLineDlg::CLineDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& userPrompts)
    : CEffectDlg(owner, host, {"线处理", {188, 153}, table, OkButton, CancelButton}), prompts(userPrompts),
      swatch(Control<CColorSwatch>(LineSwatch)), kind(Control<QComboBox>(KindList)),
      horizontal(Control<QRadioButton>(HorizontalRadio)), widthField(Control<QLineEdit>(WidthField)),
      spacingField(Control<QLineEdit>(SpacingField))
{
    for (const char* name : kindNames)
        kind->addItem(QString::fromUtf8(name));
    horizontal->setChecked(true);
    width = 1;
    spacing = 1;
    kind->setCurrentIndex(0);
    translucency = SetUpTranslucency(TranslucencySlider, TranslucencyCaption, 255, [this] {
        Write();
        Preview();
    });
    Write();

    const auto readAndPreview = [this] {
        Read();
        Preview();
    };
    connect(horizontal, &QRadioButton::clicked, this, readAndPreview);
    connect(Control<QRadioButton>(VerticalRadio), &QRadioButton::clicked, this, readAndPreview);
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
    connect(Control<QPushButton>(ChooseButton), &QPushButton::clicked, this, [this, readAndPreview] {
        if (ChooseColor(this->prompts, swatch))
            readAndPreview();
    });
    OnArrows(Control<QScrollBar>(WidthArrows), [this](int step) {
        width = StepOrReset(width, step, widthLowest, highest);
        ApplyWidthRule();
        Preview();
        Write();
    });
    OnArrows(Control<QScrollBar>(SpacingArrows), [this](int step) {
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
