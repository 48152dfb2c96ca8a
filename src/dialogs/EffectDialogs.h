#pragma once

#include "dialogs/CEffectDlg.h"
#include "dialogs/EffectCommand.h"

#include <memory>

class CCanvasHost;
class CEffectPrompts;

// The dialog of an effect command, owned by `owner`, previewing on `host`'s canvas and already
// showing its first preview. `host` and `prompts` (neither owned) outlive the dialog.
std::unique_ptr<CEffectDlg> MakeEffectDialog(EffectCommand command, QWidget* owner, CCanvasHost& host,
                                             CEffectPrompts& prompts);
