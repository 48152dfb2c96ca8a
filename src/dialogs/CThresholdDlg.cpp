#include "dialogs/CThresholdDlg.h"

#include "document/CImageDoc.h"

#include <QCheckBox>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Group, "阈值", {1, 1, 268, 57}},
    {1077, Kind::Label, "当前值:128", {9, 19, 49, 8}},
    {1025, Kind::Slider, "", {62, 16, 200, 15}},
    {1078, Kind::CheckBox, "相反处理", {9, 41, 48, 10}},
    {1023, Kind::Button, "确定(&O)", {169, 67, 50, 14}},
    {1024, Kind::Button, "取消(&C)", {219, 67, 50, 14}},
};

} // namespace

CThresholdDlg::CThresholdDlg(QWidget* owner)
    : CEffectDlg(owner, {"二值化", {272, 85}, table, 1023, 1024}), reverse(Control<QCheckBox>(1078))
{
    threshold = SetUpCaptionedSlider(1025, 1077, QStringLiteral("当前值:%1"), 128, [this] { Preview(); });
    connect(reverse, &QCheckBox::clicked, this, [this] { Preview(); });
    Preview();
}

bool CThresholdDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplyThreshold(Position(threshold), reverse->isChecked());
}
