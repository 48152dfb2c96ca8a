#include "dialogs/CDotDlg.h"

#include "dialogs/CColorSwatch.h"
#include "document/CImageDoc.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

enum Id : int
{
    OkButton = 1023,
    CancelButton = 1024,
    ChooseButton = 1036,
    TranslucencyCaption = 1040,
    TranslucencySlider = 1041,
    TopBottomField = 1044,
    LeftRightArrows = 1045,
    TopBottomArrows = 1046,
    DotSwatch = 1050,
    LeftRightField = 1051,
};

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,                Kind::Label,        "点与点的左右间距:", {8, 8, 69, 8}},
    {LeftRightField,      Kind::Field,        "",                  {77, 5, 58, 14}},
    {LeftRightArrows,     Kind::Arrows,       "",                  {135, 5, 8, 13}},
    {NoId,                Kind::Label,        "点与点的上下间距:", {8, 30, 69, 8}},
    {TopBottomField,      Kind::Field,        "",                  {77, 28, 58, 14}},
    {TopBottomArrows,     Kind::Arrows,       "",                  {135, 28, 8, 13}},
    {NoId,                Kind::Label,        "点的颜色:",         {8, 52, 37, 8}},
    {DotSwatch,           Kind::Swatch,       "",                  {53, 48, 23, 20}},
    {ChooseButton,        Kind::Button,       "选择颜色(&S)",      {82, 49, 61, 14}},
    {TranslucencyCaption, Kind::CentredLabel, "",                  {0, 75, 151, 8}},
    {TranslucencySlider,  Kind::Slider,       "",                  {0, 89, 151, 15}},
    {NoId,                Kind::Separator,    "",                  {0, 113, 151, 1}},
    {OkButton,            Kind::Button,       "确定(&O)",          {52, 124, 50, 14}},
    {CancelButton,        Kind::Button,       "取消(&C)",          {101, 124, 50, 14}},
};
// clang-format on

constexpr int lowest = 0;
constexpr int highest = 3000;

} // namespace

CDotDlg::CDotDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& userPrompts)
    : CEffectDlg(owner, host, {"点处理", {151, 139}, table, OkButton, CancelButton}), prompts(userPrompts),
      swatch(Control<CColorSwatch>(DotSwatch)), topBottom{Control<QLineEdit>(TopBottomField), 0},
      leftRight{Control<QLineEdit>(LeftRightField), 0}
{
    swatch->SetColor(0);
    leftRight.value = 1;
    topBottom.value = 1;
    translucency = SetUpTranslucency(TranslucencySlider, TranslucencyCaption, 255, [this] {
        Write();
        Preview();
    });
    Write();

    connect(leftRight.field, &QLineEdit::textEdited, this, [this] { OnEdited(leftRight); });
    connect(topBottom.field, &QLineEdit::textEdited, this, [this] { OnEdited(topBottom); });
    connect(Control<QPushButton>(ChooseButton), &QPushButton::clicked, this, [this] {
        if (ChooseColor(this->prompts, swatch))
            Preview();
    });
    OnArrows(Control<QScrollBar>(LeftRightArrows), [this](int step) { OnArrow(leftRight, step); });
    OnArrows(Control<QScrollBar>(TopBottomArrows), [this](int step) { OnArrow(topBottom, step); });
    Preview();
}

bool CDotDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplyDots(leftRight.value, topBottom.value, swatch->Color(), Position(translucency));
}

void CDotDlg::Read()
{
    if (ReadInteger(prompts, topBottom.field, topBottom.value, lowest, highest))
        ReadInteger(prompts, leftRight.field, leftRight.value, lowest, highest);
}

void CDotDlg::Write()
{
    WriteText(topBottom.field, QString::number(topBottom.value));
    WriteText(leftRight.field, QString::number(leftRight.value));
}

void CDotDlg::OnEdited(Spacing& spacing)
{
    Read();
    if (const int kept = StepOrReset(spacing.value, 0, lowest, highest); kept != spacing.value) {
        spacing.value = kept;
        Write();
    }
    Preview();
}

void CDotDlg::OnArrow(Spacing& spacing, int step)
{
    spacing.value = StepOrReset(spacing.value, step, lowest, highest);
    Preview();
    Write();
}
