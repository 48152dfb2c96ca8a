#include "dialogs/CSolidFillDlg.h"

#include "dialogs/CColorSwatch.h"
#include "dialogs/CEffectPrompts.h"
#include "document/CImageDoc.h"

#include <QPushButton>
#include <QSlider>

namespace {

using DialogLayout::Kind;
using DialogLayout::NoId;

enum Id : int
{
    OkButton = 1023,
    CancelButton = 1024,
    ChooseButton = 1036,
    TranslucencyCaption = 1040,
    TranslucencySlider = 1041,
    FillSwatch = 1050,
    PickButton = 1074,
};

// clang-format off
constexpr DialogLayout::Control table[] = {
    {NoId,                Kind::Label,        "颜色:",        {12, 19, 21, 8}},
    {FillSwatch,          Kind::Swatch,       "",             {38, 13, 22, 20}},
    {ChooseButton,        Kind::Button,       "颜色选择(&S)", {65, 15, 54, 14}},
    {PickButton,          Kind::Button,       "颜色拾取(&P)", {119, 15, 54, 14}},
    {NoId,                Kind::Group,        "",             {0, 0, 186, 40}},
    {NoId,                Kind::Group,        "",             {0, 37, 187, 38}},
    {TranslucencyCaption, Kind::CentredLabel, "半透明度:255", {3, 46, 181, 8}},
    {TranslucencySlider,  Kind::Slider,       "",             {3, 57, 179, 15}},
    {OkButton,            Kind::Button,       "确定(&O)",     {86, 85, 50, 14}},
    {CancelButton,        Kind::Button,       "取消(&C)",     {136, 85, 50, 14}},
};
// clang-format on

} // namespace

CSolidFillDlg::CSolidFillDlg(QWidget* owner, CCanvasHost& host, CEffectPrompts& userPrompts)
    : CEffectDlg(owner, host, {"单色填充", {188, 103}, table, OkButton, CancelButton}), prompts(userPrompts),
      fill(Control<CColorSwatch>(FillSwatch))
{
    fill->SetColor(0x00FFFFFF);
    translucency = SetUpTranslucency(TranslucencySlider, TranslucencyCaption, 128, [this] { Preview(); });
    connect(Control<QPushButton>(ChooseButton), &QPushButton::clicked, this, [this] {
        if (ChooseColor(this->prompts, fill))
            Preview();
    });
    connect(Control<QPushButton>(PickButton), &QPushButton::clicked, this, [this] {
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
