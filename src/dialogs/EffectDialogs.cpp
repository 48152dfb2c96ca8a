#include "dialogs/EffectDialogs.h"

#include "dialogs/CBrightnessDlg.h"
#include "dialogs/CColorFilterDlg.h"
#include "dialogs/CDotDlg.h"
#include "dialogs/CGrayDlg.h"
#include "dialogs/CLineDlg.h"
#include "dialogs/CRgbDlg.h"
#include "dialogs/CSolidFillDlg.h"
#include "dialogs/CThresholdDlg.h"

std::unique_ptr<CEffectDlg> MakeEffectDialog(EffectCommand command, QWidget* owner, CCanvasHost& host,
                                             CEffectPrompts& prompts)
{
    switch (command) {
    case EffectCommand::Gray:
        return std::make_unique<CGrayDlg>(owner, host);
    case EffectCommand::Brightness:
        return std::make_unique<CBrightnessDlg>(owner, host);
    case EffectCommand::Rgb:
        return std::make_unique<CRgbDlg>(owner, host);
    case EffectCommand::Line:
        return std::make_unique<CLineDlg>(owner, host, prompts);
    case EffectCommand::Dot:
        return std::make_unique<CDotDlg>(owner, host, prompts);
    case EffectCommand::ColorFilter:
        return std::make_unique<CColorFilterDlg>(owner, host, prompts);
    case EffectCommand::SolidFill:
        return std::make_unique<CSolidFillDlg>(owner, host, prompts);
    case EffectCommand::Threshold:
        return std::make_unique<CThresholdDlg>(owner, host);
    }
    return nullptr;
}
