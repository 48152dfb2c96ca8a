#include "dialogs/CRgbDlg.h"

#include "document/CImageDoc.h"

#include <QLineEdit>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

enum Id : int
{
    GreenField = 1023,
    BlueField = 1024,
    GreenSlider = 1026,
    BlueSlider = 1027,
    OkButton = 1028,
    CancelButton = 1029,
    RedField = 1030,
    RedSlider = 1031,
};

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,         Kind::Label,  "R",        {13, 10, 8, 8}},
    {RedField,     Kind::Field,  "",         {26, 7, 28, 14}},
    {RedSlider,    Kind::Slider, "",         {57, 7, 214, 15}},
    {NoId,         Kind::Label,  "G",        {14, 32, 8, 8}},
    {GreenField,   Kind::Field,  "",         {26, 29, 28, 14}},
    {GreenSlider,  Kind::Slider, "",         {57, 28, 214, 15}},
    {NoId,         Kind::Label,  "B",        {14, 54, 8, 8}},
    {BlueField,    Kind::Field,  "",         {26, 51, 28, 14}},
    {BlueSlider,   Kind::Slider, "",         {57, 51, 214, 15}},
    {NoId,         Kind::Group,  "",         {0, 0, 277, 71}},
    {OkButton,     Kind::Button, "确定(&O)", {177, 85, 50, 14}},
    {CancelButton, Kind::Button, "取消(&C)", {227, 85, 50, 14}},
};
// clang-format on

struct ChannelIds
{
    Id field;
    Id slider;
};
constexpr ChannelIds channelIds[] = {{RedField, RedSlider}, {GreenField, GreenSlider}, {BlueField, BlueSlider}};

} // namespace

CRgbDlg::CRgbDlg(QWidget* owner, CCanvasHost& host)
    : CEffectDlg(owner, host, {"RGB颜色调整", {277, 101}, table, OkButton, CancelButton})
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
