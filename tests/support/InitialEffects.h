#pragma once

#include "dialogs/EffectCommand.h"
#include "document/CImageDoc.h"

// What each effect dialog previews when it opens, written out from the dialogs' starting values.
inline bool ApplyInitialEffect(EffectCommand command, CImageDoc& doc)
{
    switch (command) {
    case EffectCommand::Gray:
        return doc.ApplyGray(0);
    case EffectCommand::Brightness:
        return doc.ApplyBrightness(0);
    case EffectCommand::Rgb:
        return doc.ApplyRgb(0, 0, 0);
    case EffectCommand::Line:
        return doc.ApplyLines(0 /*horizontal*/, 1, 1, 0x000000, 0 /*solid*/, 255);
    case EffectCommand::Dot:
        return doc.ApplyDots(1, 1, 0x000000, 255);
    case EffectCommand::ColorFilter:
        return doc.ApplyColorFilter(false, 0, 255, false, 0, 255, false, 0, 255, true /*gray*/, 0, 0xFFFFFF);
    case EffectCommand::SolidFill:
        return doc.ApplySolidFill(0xFFFFFF, 128);
    case EffectCommand::Threshold:
        return doc.ApplyThreshold(128, false);
    }
    return false;
}
