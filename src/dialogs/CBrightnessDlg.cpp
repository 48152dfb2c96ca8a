#include "dialogs/CBrightnessDlg.h"

#include "document/CImageDoc.h"

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Label, "明暗值:", {6, 15, 29, 8}},
    {1022, Kind::Field, "0", {43, 13, 40, 14}},
    {1025, Kind::Slider, "", {84, 11, 193, 15}},
    {1023, Kind::Button, "确定(&O)", {184, 45, 50, 14}},
    {1024, Kind::Button, "取消(&C)", {234, 45, 50, 14}},
    {NoId, Kind::Group, "", {0, 0, 284, 36}},
};

} // namespace

CBrightnessDlg::CBrightnessDlg(QWidget* owner)
    : CLevelDlg(owner, {"明暗处理", {285, 61}, table, OkId, CancelId}, &CImageDoc::ApplyBrightness)
{
}
