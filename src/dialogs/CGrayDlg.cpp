#include "dialogs/CGrayDlg.h"

#include "document/CImageDoc.h"

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Label, "灰度值:", {7, 15, 29, 8}},
    {1022, Kind::Field, "0", {44, 13, 40, 14}},
    {1025, Kind::Slider, "", {85, 11, 193, 15}},
    {1023, Kind::Button, "确定(&O)", {185, 45, 50, 14}},
    {1024, Kind::Button, "取消(&C)", {235, 45, 50, 14}},
    {NoId, Kind::Group, "", {1, 0, 284, 36}},
};

} // namespace

CGrayDlg::CGrayDlg(QWidget* owner)
    : CLevelDlg(owner, {"灰度处理", {285, 59}, table, OkId, CancelId}, &CImageDoc::ApplyGray)
{
}
