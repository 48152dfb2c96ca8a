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

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Label, "点与点的左右间距:", {8, 8, 69, 8}},
    {1051, Kind::Field, "", {77, 5, 58, 14}},
    {1045, Kind::Arrows, "", {135, 5, 8, 13}},
    {NoId, Kind::Label, "点与点的上下间距:", {8, 30, 69, 8}},
    {1044, Kind::Field, "", {77, 28, 58, 14}},
    {1046, Kind::Arrows, "", {135, 28, 8, 13}},
    {NoId, Kind::Label, "点的颜色:", {8, 52, 37, 8}},
    {1050, Kind::Swatch, "", {53, 48, 23, 20}},
    {1036, Kind::Button, "选择颜色(&S)", {82, 49, 61, 14}},
    {1040, Kind::CentredLabel, "", {0, 75, 151, 8}},
    {1041, Kind::Slider, "", {0, 89, 151, 15}},
    {NoId, Kind::Separator, "", {0, 113, 151, 1}},
    {1023, Kind::Button, "确定(&O)", {52, 124, 50, 14}},
    {1024, Kind::Button, "取消(&C)", {101, 124, 50, 14}},
};

constexpr int lowest = 0;
constexpr int highest = 3000;

} // namespace

CDotDlg::CDotDlg(QWidget* owner, CEffectPrompts& prompts)
    : CEffectDlg(owner, {"点处理", {151, 139}, table, 1023, 1024}), prompts(prompts),
      swatch(Control<CColorSwatch>(1050)), topBottom{Control<QLineEdit>(1044), 0},
      leftRight{Control<QLineEdit>(1051), 0}
{
    swatch->SetColor(0);
    leftRight.value = 1;
    topBottom.value = 1;
    translucency = SetUpTranslucency(255, [this] {
        Write();
        Preview();
    });
    Write();

    connect(leftRight.field, &QLineEdit::textEdited, this, [this] { OnEdited(leftRight); });
    connect(topBottom.field, &QLineEdit::textEdited, this, [this] { OnEdited(topBottom); });
    connect(Control<QPushButton>(1036), &QPushButton::clicked, this, [this] {
        if (ChooseColor(this->prompts, swatch))
            Preview();
    });
    OnArrows(Control<QScrollBar>(1045), [this](int step) { OnArrow(leftRight, step); });
    OnArrows(Control<QScrollBar>(1046), [this](int step) { OnArrow(topBottom, step); });
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
