#pragma once

#include "codec/CAtomicFileWriter.h"
#include "document/CDocumentPrompts.h"
#include "document/DocumentError.h"
#include "document/FileType.h"
#include "effects/CEffectPipeline.h"
#include "selection/CSelection.h"
#include "tiles/CHistoryMemory.h"
#include "tiles/ImageState.h"

#include <QPainter>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The open image: a history of whole-image states (undo stack, its top the current state, and a
// redo stack), the file it came from, two flags and the text of the last failure.
//
// Operations return false on failure and leave its kind in GetError() and its fixed text in
// errorText; success never clears them.
// One thread at a time: the editor uses its document on the user-interface thread only; separate
// documents may live on separate threads, as the batch program keeps one per worker.
class CImageDoc
{
public:
    CImageDoc();
    ~CImageDoc();
    CImageDoc(const CImageDoc&) = delete;
    CImageDoc& operator=(const CImageDoc&) = delete;

    // The window that answers the file dialogs and the save question; not owned, may be null (then
    // every dialog counts as cancelled).
    void SetOwner(CDocumentPrompts* owner);

    bool IsLoaded() const { return loaded; }
    unsigned GetWidth() const { return loaded ? width : 0; }
    unsigned GetHeight() const { return loaded ? height : 0; }
    QString GetPath() const { return loaded ? path : QString(); }
    QString GetErrorText() const { return errorText; }
    DocumentError GetError() const { return error; }
    // What lay behind the last failed read or write of a file, where known: the system's error
    // text, "图片太大" or "文件不完整"; empty otherwise. The editor shows errorText alone.
    QString GetErrorCause() const { return errorCause; }
    bool IsModified() const { return modified; }
    FileType GetType() const { return static_cast<FileType>(typeCode); }

    // History. CurrentState is only meaningful while loaded.
    const ImageState& CurrentState() const { return *undoStack.back(); }
    // Puts `state` (of the document's size) on top of the undo stack; the redo stack stays as it is.
    // A null state (one that could not be allocated) changes nothing.
    void PushState(std::unique_ptr<ImageState> state);
    // Draws the current state's `source` rectangle into `target` of an active painter, scaled when
    // the sizes differ, with the given composition (Source: a plain copy).
    bool DrawCurrent(QPainter& painter, const QRect& target, const QRect& source,
                     QPainter::CompositionMode mode = QPainter::CompositionMode_Source);
    bool Undo();
    bool Redo();
    bool DropNewest();
    void Clear();
    // Keeps only the current state: the states below it and the redo stack go, and with them
    // every tile only they held. For a chain of steps that nobody will undo.
    void ForgetHistory();
    // From now on effects change the current state itself and keep no step to undo, so a picture
    // never takes the memory of two: for a document nobody shows or undoes (the batch).
    void KeepNoHistory() { keepsHistory = false; }

    std::size_t UndoDepth() const { return undoStack.size(); }
    std::size_t RedoDepth() const { return redoStack.size(); }
    // Bytes of pixel storage the whole history holds in memory; tiles shared between states count
    // once.
    std::size_t HistoryBytes() const;
    // The memory the history may take before its older steps move to a scratch file in one of
    // `scratchFolders` (see CHistoryMemory; by default its budget and folders), and the bytes that
    // file holds.
    void SetHistoryBudget(std::uint64_t bytes, std::vector<std::string> scratchFolders = {});
    std::uint64_t ScratchBytes() const { return memory.ScratchBytes(); }
    // True once after the history had to give up its oldest steps to stay within its budget,
    // because the scratch file's disk was full or no scratch file could be made.
    bool TakeDroppedStepsNotice();

    // What the effects apply to; kind None means the whole picture.
    CSelection selection;

    // Effects. Each appends exactly one state when an image is loaded, also when no pixel changes,
    // and leaves the redo stack alone; only the selected pixels change. Colours are 0x00BBGGRR.
    bool ApplyGray(int level);
    bool ApplyInvert();
    bool ApplyBrightness(int amount);
    bool ApplyRgb(int red, int green, int blue);
    bool ApplyThreshold(int threshold, bool reverse);
    bool ApplyLines(int direction, int width, int spacing, std::uint32_t color, int kind, int translucency);
    bool ApplyDots(int leftRight, int topBottom, std::uint32_t color, int translucency);
    bool ApplySolidFill(std::uint32_t color, int translucency);
    bool ApplyColorFilter(bool redOn, int redMin, int redMax, bool greenOn, int greenMin, int greenMax, bool blueOn,
                          int blueMin, int blueMax, bool grayMode, int grayLevel, std::uint32_t fillColor);

    // The selection's bounding rectangle of the current state, unselected pixels black, as the
    // clipboard receives it; null when nothing is loaded or the rectangle holds no pixel.
    QImage SelectionCrop();
    // Puts SelectionCrop() on the system clipboard (needs a QGuiApplication).
    bool CopyToClipboard();

    // Files.
    bool Open();
    // As Open() would with `filePath` chosen in its dialog: the save question first, then the read.
    bool Open(const QString& filePath);
    bool Load(const QString& path);
    bool Save();
    bool SaveAs();
    bool CloseWithPrompt();
    // Encodes the current state into `path` in the format its extension names, replacing any file
    // there in one step (or, with Create, only where no file is); on failure errorText says so and
    // the file is left as it was.
    bool WriteImage(const QString& path, CAtomicFileWriter::Mode mode = CAtomicFileWriter::Mode::Replace);
    static FileType TypeFromExtension(const QString& path);
    static int CodecFormat(FileType type);
    static QList<CDocumentPrompts::FileFilter> OpenFilters();
    static QList<CDocumentPrompts::FileFilter> SaveFilters();

private:
    bool Fail(DocumentError kind);
    // Clear(), giving the closed picture's memory back to the system when `releaseMemory`.
    void Reset(bool releaseMemory);
    bool LoadOpened(const QString& filePath);
    // Runs codec work through the owner (off the user-interface thread in the editor).
    void RunLengthy(const QString& what, const std::function<void()>& work);
    // Encodes `state` into the file `target` in the format its extension names; `cause` says why not.
    static bool Encode(const ImageState& state, const QString& target, CAtomicFileWriter::Mode mode, QString& cause);
    // Puts a state on top of the undo stack; false, with nothing changed, for a null state or
    // when memory is exhausted.
    bool Append(std::unique_ptr<ImageState> state);
    // Moves older steps out of memory while the history is over its budget; where the disk takes
    // no more, gives up the oldest steps.
    void KeepWithinBudget();
    // The states that may leave memory, oldest first, and those that stay.
    void SplitForBudget(std::vector<ImageState*>& older, std::vector<const ImageState*>& kept) const;
    // Forgets the oldest state but the current one and the one below it; false when none is left.
    bool DropOldest();
    // Brings the state the next undo or redo goes to back into memory meanwhile.
    void PrefetchNext(bool undoing);
    // Brings a state about to be shown back into memory; false when memory is exhausted.
    bool BringBack(ImageState& state);
    // How many of the state's tiles are in the scratch file.
    static std::uint64_t TilesOut(const ImageState& state);
    // Whether the system can give `tiles` more tiles (the pool's free ones count).
    static bool CanTakeTiles(std::uint64_t tiles);
    // Whether the system can give the tiles an effect on the selection writes (see CSystemMemory).
    bool HasMemoryForEffect() const;
    // Runs `rule` over the selection through the effect pipeline and appends the result.
    bool ApplyEffect(const CEffectPipeline::SpanRule& rule);
    // Where an overlay is laid: the processing rectangle before clipping, so the pattern stays
    // anchored at the selection's corner. 64-bit, as a kept selection may lie far outside.
    struct OverlayFrame
    {
        std::int64_t left, top, width, height;
    };
    OverlayFrame OverlayRect() const;

    std::uint32_t typeCode = static_cast<std::uint32_t>(FileType::None);
    std::vector<std::unique_ptr<ImageState>> undoStack;
    bool keepsHistory = true;
    std::vector<std::unique_ptr<ImageState>> redoStack;
    QString path;
    bool loaded = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    DocumentError error = DocumentError::None;
    QString errorText; // DocumentErrorText(error)
    QString errorCause;
    CDocumentPrompts* ownerWindow = nullptr;
    bool modified = false;
    // Whether steps were given up since the picture was opened, and whether that was said.
    enum class DroppedNotice
    {
        None,
        Pending,
        Said
    } droppedNotice = DroppedNotice::None;
    mutable CHistoryMemory memory; // mutable: reading the history waits for a state being brought back
};
