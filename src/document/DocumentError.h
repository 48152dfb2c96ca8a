#pragma once

#include <QString>

// Why a document operation failed. Code decides on the kind; the user reads its fixed text.
enum class DocumentError
{
    None,
    NoCurrentPicture,
    NoPicture,
    PasteFailed,
    AtFirstState,
    AtLastState,
    NothingToDrop,
    CopyWithoutPicture,
    CopyEmptySelection,
    NoClipboard,
    EffectWithoutPicture,
    OutOfMemory,
    CannotOpen,
    OpenCancelled,
    OpenFailed,
    NoFileOpen,
    CannotSave,
    RereadAfterSaveFailed,
    SaveAsCancelled,
    CannotSaveAs,
    RereadAfterSaveAsFailed,
    CloseCancelled,
    SaveOnCloseFailed,
};

// The text the user is shown for `error`; empty for None.
QString DocumentErrorText(DocumentError error);
// True when the user chose to stop, which is reported differently from a failure.
bool IsCancellation(DocumentError error);
