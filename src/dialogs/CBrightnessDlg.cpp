#include "dialogs/CBrightnessDlg.h"

#include "document/CImageDoc.h"

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;
using enum CLevelDlg::Id;

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,     Kind::Label,  "明暗值:",  {6, 15, 29, 8}},
    {FieldId,  Kind::Field,  "0",        {43, 13, 40, 14}},
    {SliderId, Kind::Slider, "",         {84, 11, 193, 15}},
    {OkId,     Kind::Button, "确定(&O)", {184, 45, 50, 14}},
    {CancelId, Kind::Button, "取消(&C)", {234, 45, 50, 14}},
    {NoId,     Kind::Group,  "",         {0, 0, 284, 36}},
};
// clang-format on

} // namespace

CBrightnessDlg::CBrightnessDlg(QWidget* owner, CCanvasHost& host)
    : CLevelDlg(owner, host, {"明暗处理", {285, 61}, table, OkId, CancelId}, &CImageDoc::ApplyBrightness)
{
}
