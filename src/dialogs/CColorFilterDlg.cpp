#include "dialogs/CColorFilterDlg.h"

#include "dialogs/CColorSwatch.h"
#include "dialogs/CEffectPrompts.h"
#include "document/CImageDoc.h"
#include "effects/ColorRef.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Group, "RGB设置", {0, 0, 325, 90}},
    {NoId, Kind::Label, "最小值", {113, 9, 25, 8}},
    {NoId, Kind::Label, "最大值", {249, 11, 25, 8}},
    {1052, Kind::CheckBox, "&R值", {11, 28, 28, 10}},
    {1061, Kind::CentredLabel, "0", {47, 28, 26, 8}},
    {1067, Kind::Slider, "", {74, 24, 100, 15}},
    {1062, Kind::CentredLabel, "255", {187, 28, 26, 8}},
    {1026, Kind::Slider, "", {214, 24, 100, 15}},
    {1053, Kind::CheckBox, "&G值", {11, 50, 28, 10}},
    {1063, Kind::CentredLabel, "0", {47, 50, 26, 8}},
    {1027, Kind::Slider, "", {74, 46, 100, 15}},
    {1064, Kind::CentredLabel, "255", {187, 50, 26, 8}},
    {1028, Kind::Slider, "", {214, 46, 100, 15}},
    {1054, Kind::CheckBox, "&B值", {11, 72, 28, 10}},
    {1065, Kind::CentredLabel, "0", {47, 72, 26, 8}},
    {1029, Kind::Slider, "", {74, 68, 100, 15}},
    {1066, Kind::CentredLabel, "255", {187, 72, 26, 8}},
    {1030, Kind::Slider, "", {214, 68, 100, 15}},
    {NoId, Kind::Group, "过滤后的颜色处理", {0, 93, 325, 68}},
    {1055, Kind::Radio, "灰度处理(&Y)", {15, 119, 60, 10}},
    {1068, Kind::CentredLabel, "0", {83, 119, 35, 8}},
    {NoId, Kind::Label, "灰度值", {209, 103, 25, 8}},
    {1057, Kind::Slider, "", {123, 116, 191, 15}},
    {1056, Kind::Radio, "单色处理(&L)", {15, 143, 60, 10}},
    {1050, Kind::Swatch, "", {83, 137, 23, 21}},
    {1036, Kind::Button, "选择颜色(&S)", {128, 141, 56, 14}},
    {NoId, Kind::Group, "颜色分析", {0, 163, 325, 39}},
    {NoId, Kind::Label, "颜色:", {4, 183, 21, 8}},
    {1071, Kind::Swatch, "", {30, 176, 23, 21}},
    {1072, Kind::Label, "", {61, 181, 193, 8}},
    {1070, Kind::Button, "颜色拾取(&P)", {261, 177, 52, 16}},
    {1023, Kind::Button, "确定(&O)", {225, 207, 50, 14}},
    {1024, Kind::Button, "取消(&C)", {275, 207, 50, 14}},
};

struct SliderRow
{
    int slider;
    int label;
    int channel; // the check box of its channel; NoId for the gray level
    int initial;
};

// In the order of the effect's parameters: red, green, blue (minimum, maximum), then the gray level.
constexpr SliderRow sliderRows[] = {
    {1067, 1061, 1052, 0}, {1026, 1062, 1052, 255}, {1027, 1063, 1053, 0}, {1028, 1064, 1053, 255},
    {1029, 1065, 1054, 0}, {1030, 1066, 1054, 255}, {1057, 1068, NoId, 0},
};

} // namespace

CColorFilterDlg::CColorFilterDlg(QWidget* owner, CEffectPrompts& prompts)
    : CEffectDlg(owner, {"颜色过滤", {326, 225}, table, 1023, 1024}), prompts(prompts),
      fill(Control<CColorSwatch>(1050)), analysis(Control<CColorSwatch>(1071)), grayMode(Control<QRadioButton>(1055))
{
    fill->SetColor(0x00FFFFFF);
    ShowAnalysis();
    for (const SliderRow& row : sliderRows) {
        auto* slider = Control<QSlider>(row.slider);
        auto* label = Control<QLabel>(row.label);
        auto* channel = row.channel == NoId ? nullptr : Control<QCheckBox>(row.channel);
        slider->setRange(row.channel == NoId ? -255 : 0, 255);
        slider->setValue(row.initial);
        label->setText(QString::number(row.initial));
        OnSlider(slider, [this, slider, label, channel] {
            label->setText(QString::number(Position(slider)));
            if (InUse(channel))
                Preview();
        });
    }
    grayMode->setChecked(true);

    const auto preview = [this] { Preview(); };
    for (const int id : {1052, 1053, 1054})
        connect(Control<QCheckBox>(id), &QCheckBox::clicked, this, preview);
    connect(grayMode, &QRadioButton::clicked, this, preview);
    connect(Control<QRadioButton>(1056), &QRadioButton::clicked, this, preview);
    connect(Control<QPushButton>(1036), &QPushButton::clicked, this, [this] {
        if (ChooseColor(this->prompts, fill) && !grayMode->isChecked())
            Preview();
    });
    connect(Control<QPushButton>(1070), &QPushButton::clicked, this, [this] {
        if (const std::optional<std::uint32_t> picked = this->prompts.PickColor()) {
            analysis->SetColor(*picked);
            ShowAnalysis();
        }
    });
    Preview();
}

bool CColorFilterDlg::ApplyTo(CImageDoc& doc)
{
    const auto on = [this](int id) { return Control<QCheckBox>(id)->isChecked(); };
    const auto at = [this](int row) { return Position(Control<QSlider>(sliderRows[row].slider)); };
    return doc.ApplyColorFilter(on(1052), at(0), at(1), on(1053), at(2), at(3), on(1054), at(4), at(5),
                                grayMode->isChecked(), at(6), fill->Color());
}

bool CColorFilterDlg::InUse(QCheckBox* channel) const
{
    return channel ? channel->isChecked() : grayMode->isChecked();
}

void CColorFilterDlg::ShowAnalysis()
{
    const std::uint32_t color = analysis->Color();
    Control<QLabel>(1072)->setText(QStringLiteral("当前颜色的各个值 R:%1  G:%2  B:%3")
                                       .arg(ColorRef::Red(color))
                                       .arg(ColorRef::Green(color))
                                       .arg(ColorRef::Blue(color)));
}
