#include "dialogs/CRgbDlg.h"

#include "document/CImageDoc.h"

#include <QLineEdit>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Label, "R", {13, 10, 8, 8}},
    {1030, Kind::Field, "", {26, 7, 28, 14}},
    {1031, Kind::Slider, "", {57, 7, 214, 15}},
    {NoId, Kind::Label, "G", {14, 32, 8, 8}},
    {1023, Kind::Field, "", {26, 29, 28, 14}},
    {1026, Kind::Slider, "", {57, 28, 214, 15}},
    {NoId, Kind::Label, "B", {14, 54, 8, 8}},
    {1024, Kind::Field, "", {26, 51, 28, 14}},
    {1027, Kind::Slider, "", {57, 51, 214, 15}},
    {NoId, Kind::Group, "", {0, 0, 277, 71}},
    {1028, Kind::Button, "确定(&O)", {177, 85, 50, 14}},
    {1029, Kind::Button, "取消(&C)", {227, 85, 50, 14}},
};

struct ChannelIds
{
    int field;
    int slider;
};
constexpr ChannelIds channelIds[] = {{1030, 1031}, {1023, 1026}, {1024, 1027}};

} // namespace

CRgbDlg::CRgbDlg(QWidget* owner) : CEffectDlg(owner, {"RGB颜色调整", {277, 101}, table, 1028, 1029})
{
    for (std::size_t i = 0; i < channels.size(); ++i) {
        Channel& channel = channels[i];
        channel = {Control<QLineEdit>(channelIds[i].field), Control<QSlider>(channelIds[i].slider)};
        channel.slider->setRange(-255, 255);
        channel.slider->setValue(0);
        channel.field->setText(QStringLiteral("0"));
        OnSlider(channel.slider, [this, channel] {
            WriteText(channel.field, QString::number(Position(channel.slider)));
            Preview();
        });
        connect(channel.field, &QLineEdit::textEdited, this, [this, channel] {
            FollowField(channel.field, channel.slider);
            Preview();
        });
    }
    Preview();
}

bool CRgbDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplyRgb(Position(channels[0].slider), Position(channels[1].slider), Position(channels[2].slider));
}
