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

enum Id : int
{
    OkButton = 1023,
    CancelButton = 1024,
    RedMaxSlider = 1026,
    GreenMinSlider = 1027,
    GreenMaxSlider = 1028,
    BlueMinSlider = 1029,
    BlueMaxSlider = 1030,
    ChooseButton = 1036,
    FillSwatch = 1050,
    RedBox = 1052,
    GreenBox = 1053,
    BlueBox = 1054,
    GrayRadio = 1055,
    FillRadio = 1056,
    GraySlider = 1057,
    RedMinLabel = 1061,
    RedMaxLabel = 1062,
    GreenMinLabel = 1063,
    GreenMaxLabel = 1064,
    BlueMinLabel = 1065,
    BlueMaxLabel = 1066,
    RedMinSlider = 1067,
    GrayLabel = 1068,
    PickButton = 1070,
    AnalysisSwatch = 1071,
    AnalysisText = 1072,
};

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,           Kind::Group,        "RGB设置",          {0, 0, 325, 90}},
    {NoId,           Kind::Label,        "最小值",           {113, 9, 25, 8}},
    {NoId,           Kind::Label,        "最大值",           {249, 11, 25, 8}},
    {RedBox,         Kind::CheckBox,     "&R值",             {11, 28, 28, 10}},
    {RedMinLabel,    Kind::CentredLabel, "0",                {47, 28, 26, 8}},
    {RedMinSlider,   Kind::Slider,       "",                 {74, 24, 100, 15}},
    {RedMaxLabel,    Kind::CentredLabel, "255",              {187, 28, 26, 8}},
    {RedMaxSlider,   Kind::Slider,       "",                 {214, 24, 100, 15}},
    {GreenBox,       Kind::CheckBox,     "&G值",             {11, 50, 28, 10}},
    {GreenMinLabel,  Kind::CentredLabel, "0",                {47, 50, 26, 8}},
    {GreenMinSlider, Kind::Slider,       "",                 {74, 46, 100, 15}},
    {GreenMaxLabel,  Kind::CentredLabel, "255",              {187, 50, 26, 8}},
    {GreenMaxSlider, Kind::Slider,       "",                 {214, 46, 100, 15}},
    {BlueBox,        Kind::CheckBox,     "&B值",             {11, 72, 28, 10}},
    {BlueMinLabel,   Kind::CentredLabel, "0",                {47, 72, 26, 8}},
    {BlueMinSlider,  Kind::Slider,       "",                 {74, 68, 100, 15}},
    {BlueMaxLabel,   Kind::CentredLabel, "255",              {187, 72, 26, 8}},
    {BlueMaxSlider,  Kind::Slider,       "",                 {214, 68, 100, 15}},
    {NoId,           Kind::Group,        "过滤后的颜色处理", {0, 93, 325, 68}},
    {GrayRadio,      Kind::Radio,        "灰度处理(&Y)",     {15, 119, 60, 10}},
    {GrayLabel,      Kind::CentredLabel, "0",                {83, 119, 35, 8}},
    {NoId,           Kind::Label,        "灰度值",           {209, 103, 25, 8}},
    {GraySlider,     Kind::Slider,       "",                 {123, 116, 191, 15}},
    {FillRadio,      Kind::Radio,        "单色处理(&L)",     {15, 143, 60, 10}},
    {FillSwatch,     Kind::Swatch,       "",                 {83, 137, 23, 21}},
    {ChooseButton,   Kind::Button,       "选择颜色(&S)",     {128, 141, 56, 14}},
    {NoId,           Kind::Group,        "颜色分析",         {0, 163, 325, 39}},
    {NoId,           Kind::Label,        "颜色:",            {4, 183, 21, 8}},
    {AnalysisSwatch, Kind::Swatch,       "",                 {30, 176, 23, 21}},
    {AnalysisText,   Kind::Label,        "",                 {61, 181, 193, 8}},
    {PickButton,     Kind::Button,       "颜色拾取(&P)",     {261, 177, 52, 16}},
    {OkButton,       Kind::Button,       "确定(&O)",         {225, 207, 50, 14}},
    {CancelButton,   Kind::Button,       "取消(&C)",         {275, 207, 50, 14}},
};
// clang-format on

struct SliderRow
{
    Id slider;
    Id label;
    int channel; // the check box of its channel; NoId for the gray level
    int initial;
};

// In the order of the effect's parameters: red, green, blue (minimum, maximum), then the gray level.
// clang-format off
constexpr SliderRow sliderRows[] = {
    {RedMinSlider,   RedMinLabel,   RedBox,   0}, {RedMaxSlider,   RedMaxLabel,   RedBox,   255},
    {GreenMinSlider, GreenMinLabel, GreenBox, 0}, {GreenMaxSlider, GreenMaxLabel, GreenBox, 255},
    {BlueMinSlider,  BlueMinLabel,  BlueBox,  0}, {BlueMaxSlider,  BlueMaxLabel,  BlueBox,  255},
    {GraySlider,     GrayLabel,     NoId,     0},
};
// clang-format on

} // namespace

CColorFilterDlg::CColorFilterDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& userPrompts)
    : CEffectDlg(owner, host, {"颜色过滤", {326, 225}, table, OkButton, CancelButton}), prompts(userPrompts),
      fill(Control<CColorSwatch>(FillSwatch)), analysis(Control<CColorSwatch>(AnalysisSwatch)),
      grayMode(Control<QRadioButton>(GrayRadio))
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
    for (const Id id : {RedBox, GreenBox, BlueBox})
        connect(Control<QCheckBox>(id), &QCheckBox::clicked, this, preview);
    connect(grayMode, &QRadioButton::clicked, this, preview);
    connect(Control<QRadioButton>(FillRadio), &QRadioButton::clicked, this, preview);
    connect(Control<QPushButton>(ChooseButton), &QPushButton::clicked, this, [this] {
        if (ChooseColor(this->prompts, fill) && !grayMode->isChecked())
            Preview();
    });
    connect(Control<QPushButton>(PickButton), &QPushButton::clicked, this, [this] {
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
    return doc.ApplyColorFilter(on(RedBox), at(0), at(1), on(GreenBox), at(2), at(3), on(BlueBox), at(4), at(5),
                                grayMode->isChecked(), at(6), fill->Color());
}

bool CColorFilterDlg::InUse(QCheckBox* channel) const
{
    return channel ? channel->isChecked() : grayMode->isChecked();
}

void CColorFilterDlg::ShowAnalysis()
{
    const std::uint32_t color = analysis->Color();
    Control<QLabel>(AnalysisText)
        ->setText(QStringLiteral("当前颜色的各个值 R:%1  G:%2  B:%3")
                      .arg(ColorRef::Red(color))
                      .arg(ColorRef::Green(color))
                      .arg(ColorRef::Blue(color)));
}
