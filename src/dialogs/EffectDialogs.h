#pragma once

#include "dialogs/CEffectDlg.h"
#include "dialogs/EffectCommand.h"

#include <memory>

class CEffectPrompts;

// The dialog of an effect command, owned by `owner` (a CCanvasHost) and already showing its first
// preview. `prompts` (not owned) outlives the dialog.
std::unique_ptr<CEffectDlg> MakeEffectDialog(EffectCommand command, QWidget* owner, CEffectPrompts& prompts);
