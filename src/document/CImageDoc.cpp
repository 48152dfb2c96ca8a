#include "document/CImageDoc.h"

#include "selection/SelectionMasks.h"

#include <new>
#include <unordered_set>

CImageDoc::CImageDoc()
{
    Clear();
}

CImageDoc::~CImageDoc()
{
    Clear();
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
        // Both stacks can hold every state, so Undo and Redo never allocate.
        const std::size_t total = undoStack.size() + redoStack.size() + 1;
        undoStack.reserve(total);
        redoStack.reserve(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    undoStack.push_back(std::move(state));
    return true;
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
    redoStack.push_back(std::move(undoStack.back()));
    undoStack.pop_back();
    return true;
}

bool CImageDoc::Redo()
{
    if (!loaded)
        return Fail(DocumentError::NoPicture);
    if (redoStack.empty())
        return Fail(DocumentError::AtLastState);
    undoStack.push_back(std::move(redoStack.back()));
    redoStack.pop_back();
    return true;
}

bool CImageDoc::DropNewest()
{
    if (!loaded)
        return Fail(DocumentError::NoPicture);
    if (undoStack.size() <= 1)
        return Fail(DocumentError::NothingToDrop);
    undoStack.pop_back();
    return true;
}

void CImageDoc::ForgetHistory()
{
    if (undoStack.size() > 1)
        undoStack.erase(undoStack.begin(), undoStack.end() - 1);
    redoStack.clear();
}

void CImageDoc::Clear()
{
    typeCode = static_cast<std::uint32_t>(FileType::None);
    while (!undoStack.empty())
        undoStack.pop_back();
    while (!redoStack.empty())
        redoStack.pop_back();
    loaded = false;
    width = 0;
    height = 0;
    error = DocumentError::None;
    errorText.clear();
    errorCause.clear();
    modified = false;
}

std::size_t CImageDoc::HistoryBytes() const
{
    std::unordered_set<const void*> seen;
    for (const auto* stack : {&undoStack, &redoStack}) {
        for (const auto& state : *stack) {
            for (int row = 0; row < state->TileRows(); ++row) {
                for (int column = 0; column < state->TileColumns(); ++column)
                    seen.insert(state->TileId(column, row));
            }
        }
    }
    return seen.size() * CTilePool::TileBytes;
}
