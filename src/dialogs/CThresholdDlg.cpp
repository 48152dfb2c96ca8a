#include "dialogs/CThresholdDlg.h"

#include "document/CImageDoc.h"

#include <QCheckBox>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

enum Id : int
{
    OkButton = 1023,
    CancelButton = 1024,
    ThresholdSlider = 1025,
    ThresholdCaption = 1077,
    ReverseBox = 1078,
};

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,             Kind::Group,    "阈值",       {1, 1, 268, 57}},
    {ThresholdCaption, Kind::Label,    "当前值:128", {9, 19, 49, 8}},
    {ThresholdSlider,  Kind::Slider,   "",           {62, 16, 200, 15}},
    {ReverseBox,       Kind::CheckBox, "相反处理",   {9, 41, 48, 10}},
    {OkButton,         Kind::Button,   "确定(&O)",   {169, 67, 50, 14}},
    {CancelButton,     Kind::Button,   "取消(&C)",   {219, 67, 50, 14}},
};
// clang-format on

} // namespace

CThresholdDlg::CThresholdDlg(QWidget* owner, CCanvasHost& host)
    : CEffectDlg(owner, host, {"二值化", {272, 85}, table, OkButton, CancelButton}),
      reverse(Control<QCheckBox>(ReverseBox))
{
    threshold = SetUpCaptionedSlider(ThresholdSlider, ThresholdCaption, QStringLiteral("当前值:%1"), 128,
                                     [this] { Preview(); });
    connect(reverse, &QCheckBox::clicked, this, [this] { Preview(); });
    Preview();
}

bool CThresholdDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplyThreshold(Position(threshold), reverse->isChecked());
}
