#include "dialogs/CSolidFillDlg.h"

#include "dialogs/CColorSwatch.h"
#include "dialogs/CEffectPrompts.h"
#include "document/CImageDoc.h"

#include <QPushButton>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

constexpr DialogLayout::Control table[] = {
    {NoId, Kind::Label, "颜色:", {12, 19, 21, 8}},
    {1050, Kind::Swatch, "", {38, 13, 22, 20}},
    {1036, Kind::Button, "颜色选择(&S)", {65, 15, 54, 14}},
    {1074, Kind::Button, "颜色拾取(&P)", {119, 15, 54, 14}},
    {NoId, Kind::Group, "", {0, 0, 186, 40}},
    {NoId, Kind::Group, "", {0, 37, 187, 38}},
    {1040, Kind::CentredLabel, "半透明度:255", {3, 46, 181, 8}},
    {1041, Kind::Slider, "", {3, 57, 179, 15}},
    {1023, Kind::Button, "确定(&O)", {86, 85, 50, 14}},
    {1024, Kind::Button, "取消(&C)", {136, 85, 50, 14}},
};

} // namespace

CSolidFillDlg::CSolidFillDlg(QWidget* owner, CEffectPrompts& prompts)
    : CEffectDlg(owner, {"单色填充", {188, 103}, table, 1023, 1024}), prompts(prompts),
      fill(Control<CColorSwatch>(1050))
{
    fill->SetColor(0x00FFFFFF);
    translucency = SetUpTranslucency(128, [this] { Preview(); });
    connect(Control<QPushButton>(1036), &QPushButton::clicked, this, [this] {
        if (ChooseColor(this->prompts, fill))
            Preview();
    });
    connect(Control<QPushButton>(1074), &QPushButton::clicked, this, [this] {
        if (const std::optional<std::uint32_t> picked = this->prompts.PickColor()) {
            fill->SetColor(*picked);
            Preview();
        }
    });
    Preview();
}

bool CSolidFillDlg::ApplyTo(CImageDoc& doc)
{
    return doc.ApplySolidFill(fill->Color(), Position(translucency));
}
