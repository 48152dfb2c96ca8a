#include "document/CImageDoc.h"

#include "selection/SelectionMasks.h"
#include "tiles/CSystemMemory.h"

#include <algorithm>
#include <new>
#include <unordered_set>

#ifdef __GLIBC__
#include <malloc.h>
#endif

CImageDoc::CImageDoc()
{
    Clear();
}

CImageDoc::~CImageDoc()
{
    // The pool keeps what a picture gave back for the next (the batch opens one after another).
    Reset(false);
}

void CImageDoc::SetOwner(CDocumentPrompts* owner)
{
    ownerWindow = owner;
}

bool CImageDoc::Fail(DocumentError kind)
{
    error = kind;
    errorText = DocumentErrorText(kind);
    return false;
}

bool CImageDoc::Append(std::unique_ptr<ImageState> state)
{
    if (!state)
        return false;
    try {
        // Both stacks can hold every state, so moving one between them never allocates.
        const std::size_t total = undoStack.size() + redoStack.size() + 1;
        undoStack.reserve(total);
        redoStack.reserve(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    undoStack.push_back(std::move(state));
    KeepWithinBudget();
    return true;
}

void CImageDoc::SetHistoryBudget(std::uint64_t bytes, std::vector<std::string> scratchFolders)
{
    memory.Configure(bytes, std::move(scratchFolders));
    KeepWithinBudget();
}

void CImageDoc::SplitForBudget(std::vector<ImageState*>& older, std::vector<const ImageState*>& kept) const
{
    // The current state and the one below it (an undo, or a preview's base) stay in memory.
    kept.assign(1, undoStack.back().get());
    if (undoStack.size() >= 2)
        kept.push_back(undoStack[undoStack.size() - 2].get());
    older.clear();
    older.reserve(undoStack.size() + redoStack.size());
    for (std::size_t i = 0; i + 2 < undoStack.size(); ++i)
        older.push_back(undoStack[i].get());
    // The far end of the redo stack first, the next redo last.
    for (const auto& state : redoStack)
        older.push_back(state.get());
}

bool CImageDoc::DropOldest()
{
    if (undoStack.size() > 2)
        undoStack.erase(undoStack.begin());
    else if (!redoStack.empty())
        redoStack.erase(redoStack.begin());
    else
        return false;
    return true;
}

void CImageDoc::KeepWithinBudget()
{
    if (undoStack.empty())
        return;
    std::vector<ImageState*> older;
    std::vector<const ImageState*> kept;
    try {
        SplitForBudget(older, kept);
        bool dropped = false;
        while (!memory.Enforce(older, kept) && DropOldest()) {
            dropped = true;
            SplitForBudget(older, kept);
        }
        if (dropped) {
            if (droppedNotice == DroppedNotice::None)
                droppedNotice = DroppedNotice::Pending;
            CTilePool::Shared().Trim(CurrentState().TileCount() * CTilePool::TileBytes);
        }
    } catch (const std::bad_alloc&) {
    }
}

bool CImageDoc::TakeDroppedStepsNotice()
{
    if (droppedNotice != DroppedNotice::Pending)
        return false;
    droppedNotice = DroppedNotice::Said;
    return true;
}

void CImageDoc::PrefetchNext(bool undoing)
{
    ImageState* next = nullptr;
    if (undoing && undoStack.size() >= 2)
        next = undoStack[undoStack.size() - 2].get();
    else if (!undoing && !redoStack.empty())
        next = redoStack.back().get();
    if (!next)
        return;
    const std::uint64_t missing = TilesOut(*next);
    if (missing != 0 && CanTakeTiles(missing))
        memory.Prefetch(*next);
}

std::uint64_t CImageDoc::TilesOut(const ImageState& state)
{
    std::uint64_t out = 0;
    for (std::size_t i = 0; i < state.TileCount(); ++i)
        out += state.TileAt(i) == nullptr;
    return out;
}

bool CImageDoc::CanTakeTiles(std::uint64_t tiles)
{
    const std::uint64_t need = tiles * CTilePool::TileBytes;
    return CSystemMemory::CanTake(need - std::min<std::uint64_t>(need, CTilePool::Shared().FreeBytes()));
}

bool CImageDoc::BringBack(ImageState& state)
{
    memory.Settle();
    const std::uint64_t missing = TilesOut(state);
    return missing == 0 || (CanTakeTiles(missing) && state.BringBack());
}

void CImageDoc::PushState(std::unique_ptr<ImageState> state)
{
    // A state that could not be made (or kept) leaves the history as it was.
    if (Append(std::move(state)))
        modified = true;
}

bool CImageDoc::DrawCurrent(QPainter& painter, const QRect& target, const QRect& source, QPainter::CompositionMode mode)
{
    if (!loaded)
        return Fail(DocumentError::NoCurrentPicture);
    if (!painter.isActive())
        return Fail(DocumentError::PasteFailed);

    const ImageState& state = CurrentState();
    const QPainter::CompositionMode previous = painter.compositionMode();
    painter.setCompositionMode(mode);
    if (target.size() == source.size()) {
        // 1:1: draw the tiles that meet the source straight from the history, without a copy.
        const QPoint offset = target.topLeft() - source.topLeft();
        const QRect area = source.intersected(state.rect());
        const ImageState::TileRange range = state.TilesMeeting(area);
        for (int row = range.firstRow; row <= range.lastRow; ++row) {
            for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
                const QRect tileRect = state.TileRect(column, row);
                const QRect part = tileRect.intersected(area);
                painter.drawImage(part.topLeft() + offset, state.TileView(column, row),
                                  part.translated(-tileRect.topLeft()));
            }
        }
    } else {
        const QImage pixels = state.ReadRegion(source);
        if (pixels.isNull()) {
            painter.setCompositionMode(previous);
            return Fail(DocumentError::PasteFailed);
        }
        painter.drawImage(target, pixels);
    }
    painter.setCompositionMode(previous);
    return true;
}

bool CImageDoc::Undo()
{
    if (!loaded)
        return Fail(DocumentError::NoPicture);
    if (undoStack.size() <= 1)
        return Fail(DocumentError::AtFirstState);
    if (!BringBack(*undoStack[undoStack.size() - 2]))
        return Fail(DocumentError::OutOfMemory);
    redoStack.push_back(std::move(undoStack.back()));
    undoStack.pop_back();
    KeepWithinBudget();
    PrefetchNext(true);
    return true;
}

bool CImageDoc::Redo()
{
    if (!loaded)
        return Fail(DocumentError::NoPicture);
    if (redoStack.empty())
        return Fail(DocumentError::AtLastState);
    if (!BringBack(*redoStack.back()))
        return Fail(DocumentError::OutOfMemory);
    undoStack.push_back(std::move(redoStack.back()));
    redoStack.pop_back();
    KeepWithinBudget();
    PrefetchNext(false);
    return true;
}

bool CImageDoc::DropNewest()
{
    if (!loaded)
        return Fail(DocumentError::NoPicture);
    if (undoStack.size() <= 1)
        return Fail(DocumentError::NothingToDrop);
    if (!BringBack(*undoStack[undoStack.size() - 2]))
        return Fail(DocumentError::OutOfMemory);
    undoStack.pop_back();
    return true;
}

void CImageDoc::ForgetHistory()
{
    memory.Settle();
    if (undoStack.size() > 1)
        undoStack.erase(undoStack.begin(), undoStack.end() - 1);
    redoStack.clear();
}

void CImageDoc::Clear()
{
    Reset(true);
}

void CImageDoc::Reset(bool releaseMemory)
{
    releaseMemory = releaseMemory && loaded;
    memory.Settle();
    typeCode = static_cast<std::uint32_t>(FileType::None);
    while (!undoStack.empty())
        undoStack.pop_back();
    while (!redoStack.empty())
        redoStack.pop_back();
    if (releaseMemory) {
        // A closed picture's memory goes back to the system, but for a little to start the next.
        CTilePool::Shared().Trim(CTilePool::ReserveBytes);
#ifdef __GLIBC__
        malloc_trim(0); // what the decoders and the packing freed, which glibc would keep
#endif
    }
    loaded = false;
    width = 0;
    height = 0;
    error = DocumentError::None;
    errorText.clear();
    errorCause.clear();
    modified = false;
    droppedNotice = DroppedNotice::None;
}

std::size_t CImageDoc::HistoryBytes() const
{
    memory.Settle();
    std::unordered_set<const void*> seen;
    for (const auto* stack : {&undoStack, &redoStack}) {
        for (const auto& state : *stack) {
            for (int row = 0; row < state->TileRows(); ++row) {
                for (int column = 0; column < state->TileColumns(); ++column) {
                    if (const void* id = state->TileId(column, row))
                        seen.insert(id); // not those in the scratch file
                }
            }
        }
    }
    return seen.size() * CTilePool::TileBytes;
}
