#include "dialogs/CGrayDlg.h"

#include "document/CImageDoc.h"

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;
using enum CLevelDlg::Id;

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,     Kind::Label,  "灰度值:",  {7, 15, 29, 8}},
    {FieldId,  Kind::Field,  "0",        {44, 13, 40, 14}},
    {SliderId, Kind::Slider, "",         {85, 11, 193, 15}},
    {OkId,     Kind::Button, "确定(&O)", {185, 45, 50, 14}},
    {CancelId, Kind::Button, "取消(&C)", {235, 45, 50, 14}},
    {NoId,     Kind::Group,  "",         {1, 0, 284, 36}},
};
// clang-format on

} // namespace

CGrayDlg::CGrayDlg(QWidget* owner, CCanvasHost& host)
    : CLevelDlg(owner, host, {"灰度处理", {285, 59}, table, OkId, CancelId}, &CImageDoc::ApplyGray)
{
}
