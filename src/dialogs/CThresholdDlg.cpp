#include "dialogs/CThresholdDlg.h"

#include "document/CImageDoc.h"

#include <QCheckBox>
#include <QLabel>
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
    : CEffectDlg(owner, {"二值化", {272, 85}, table, 1023, 1024}), threshold(Control<QSlider>(1025)),
      reverse(Control<QCheckBox>(1078))
{
    auto* caption = Control<QLabel>(1077);
    const auto showValue = [this, caption] {
        caption->setText(QStringLiteral("当前值:%1").arg(Position(threshold)));
    };
    threshold->setRange(0, 255);
    threshold->setValue(128);
    showValue();
    OnSlider(threshold, [this, showValue] {
        showValue();
        Preview();
    });
    connect(reverse, &QCheckBox::clicked, this, [this] { Preview(); });
    Preview();
}

bool CThresholdDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplyThreshold(Position(threshold), reverse->isChecked());
}
