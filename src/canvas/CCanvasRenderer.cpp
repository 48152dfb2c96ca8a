#include "canvas/CCanvasRenderer.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

// The blocks of one level that a frame reads, gathered once so that the loops below only index.
struct CCanvasRenderer::Source
{
    int level = 0;
    int cellWidth = 0; // level pixels of a block
    int cellHeight = 0;
    QSize levelSize;
    int firstColumn = 0;
    int firstRow = 0;
    int columns = 0;
    int rows = 0;
    std::vector<Cell> cells; // row-major over the gathered blocks

    const Cell& At(int column, int row) const
    {
        return cells[std::size_t(row - firstRow) * columns + std::size_t(column - firstColumn)];
    }
    QRect CellRect(int column, int row) const
    {
        return QRect(column * cellWidth, row * cellHeight, cellWidth, cellHeight).intersected(QRect({0, 0}, levelSize));
    }
};

// The halving nearest the zoom on a logarithmic scale: it is sampled by at most √2 either way, so
// it never drops more than a third of its pixels nor repeats more than a third of them, and it
// reads at most twice the pixels the frame shows.
int CCanvasRenderer::LevelFor(CViewGeometry::Zoom zoom)
{
    int level = 0;
    const auto square = [](std::int64_t v) { return v * v; };
    // 2^(level + 1) * zoom <= √2
    while (level < CReducedCopies::MaxLevel && square(std::int64_t(zoom.num) << (level + 1)) <= 2 * square(zoom.den))
        ++level;
    return level;
}

namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr std::int64_t ParallelPixels = 256 * 1024;

// Runs `work` over rows [0, rows), the second half on a thread of its own when the frame is large.
template <typename Work> void RunSplit(int rows, std::int64_t pixels, const Work& work)
{
    std::thread helper;
    int split = rows;
    if (pixels >= ParallelPixels && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread([&work, rows, half = rows / 2] { work(half, rows); });
            split = rows / 2;
        } catch (const std::system_error&) {
            // No second thread: this one does all the rows.
        }
    }
    work(0, split);
    if (helper.joinable())
        helper.join();
}

int Halved(int v, int level)
{
    return int((std::int64_t(v) + (std::int64_t(1) << level) - 1) >> level);
}

} // namespace

bool CCanvasRenderer::Draw(QPainter& painter, const ImageState& state, const CViewGeometry& geometry, const QRect& view)
{
    const QRect shown = view.intersected(QRect(QPoint(0, 0), geometry.ContentSize()));
    if (shown.isEmpty())
        return true;
    // Without memory for the reduced copy the picture itself is sampled: slower, never blank.
    const int wanted = LevelFor(geometry.GetZoom());
    bool drawn = DrawLevel(painter, state, geometry, shown, -view.topLeft(), wanted);
    if (!drawn && wanted > 0)
        drawn = DrawLevel(painter, state, geometry, shown, -view.topLeft(), 0);
    held.clear();
    return drawn;
}

bool CCanvasRenderer::DrawLevel(QPainter& painter, const ImageState& state, const CViewGeometry& geometry,
                                const QRect& shown, QPoint offset, int level)
{
    Source source;
    source.level = level;
    source.levelSize = QSize(Halved(state.width(), level), Halved(state.height(), level));
    const QRect imageArea = geometry.ImageRect(shown);
    const QRect levelArea(QPoint(imageArea.left() >> level, imageArea.top() >> level),
                          QPoint(imageArea.right() >> level, imageArea.bottom() >> level));
    const CViewGeometry::Zoom zoom = geometry.GetZoom();
    const bool exact = (std::int64_t(zoom.num) << level) == zoom.den;
    const FrameKey key{state.Serial(), zoom, shown, level};
    if (!exact && framed == key) {
        painter.drawImage(shown.topLeft() + offset, frame, QRect(QPoint(0, 0), shown.size()));
        return true;
    }
    if (!Gather(source, state, levelArea))
        return false;
    if (exact) {
        Copy(painter, source, shown, offset);
        return true;
    }
    // Kept from frame to frame and only grown: a fresh buffer would fault in its pages every time.
    framed.reset();
    if (frame.width() < shown.width() || frame.height() < shown.height()) {
        frame = QImage(shown.size().expandedTo(frame.size()), QImage::Format_RGB32);
        if (frame.isNull())
            return false;
    }
    Fill(source, geometry, shown);
    framed = key;
    painter.drawImage(shown.topLeft() + offset, frame, QRect(QPoint(0, 0), shown.size()));
    return true;
}

void CCanvasRenderer::Clear()
{
    reductions.Clear();
    held.clear();
    frame = QImage();
    framed.reset();
}

bool CCanvasRenderer::Gather(Source& source, const ImageState& state, const QRect& levelArea)
{
    if (source.level == 0) {
        source.cellWidth = state.TileWidth();
        source.cellHeight = state.TileHeight();
    } else {
        source.cellWidth = source.cellHeight = CReducedCopies::BlockSide >> source.level;
        const QRect imageArea(levelArea.topLeft() * (1 << source.level), levelArea.size() * (1 << source.level));
        if (!reductions.Prepare(state, source.level, imageArea))
            return false;
    }
    source.firstColumn = levelArea.left() / source.cellWidth;
    source.firstRow = levelArea.top() / source.cellHeight;
    source.columns = levelArea.right() / source.cellWidth - source.firstColumn + 1;
    source.rows = levelArea.bottom() / source.cellHeight - source.firstRow + 1;
    source.cells.reserve(std::size_t(source.columns) * source.rows);
    for (int row = source.firstRow; row < source.firstRow + source.rows; ++row) {
        for (int column = source.firstColumn; column < source.firstColumn + source.columns; ++column) {
            if (source.level == 0) {
                source.cells.push_back({state.TilePixels(column, row), state.TileWidth()});
                continue;
            }
            QImage block = reductions.Block(state, source.level, column, row);
            if (block.isNull())
                return false;
            source.cells.push_back(
                {reinterpret_cast<const std::uint32_t*>(block.constBits()), int(block.bytesPerLine() / 4)});
            held.push_back(std::move(block));
        }
    }
    return true;
}

// Content and level pixels coincide: each block's visible part is copied as it is.
void CCanvasRenderer::Copy(QPainter& painter, const Source& source, const QRect& shown, QPoint offset)
{
    for (int row = source.firstRow; row < source.firstRow + source.rows; ++row) {
        for (int column = source.firstColumn; column < source.firstColumn + source.columns; ++column) {
            const QRect cellRect = source.CellRect(column, row);
            const QRect part = cellRect.intersected(shown);
            if (part.isEmpty())
                continue;
            const Cell& cell = source.At(column, row);
            const QImage view(reinterpret_cast<const uchar*>(cell.pixels), cellRect.width(), cellRect.height(),
                              qsizetype(cell.stride) * 4, QImage::Format_RGB32);
            painter.drawImage(part.topLeft() + offset, view, part.translated(-cellRect.topLeft()));
        }
    }
}

// Samples the level into the frame buffer's top-left `shown` pixels.
void CCanvasRenderer::Fill(const Source& source, const CViewGeometry& geometry, const QRect& shown)
{
    const int level = source.level;
    // Where each column of the frame reads: the block and the pixel inside it. Runs of columns in
    // one block share its row pointer.
    struct Run
    {
        int begin, end, column;
    };
    std::vector<int> inCell(std::size_t(shown.width()));
    std::vector<Run> runs;
    for (int i = 0; i < shown.width(); ++i) {
        const int x = std::min(geometry.ImagePoint({shown.left() + i, 0}).x() >> level, source.levelSize.width() - 1);
        const int column = x / source.cellWidth;
        inCell[std::size_t(i)] = x - column * source.cellWidth;
        if (runs.empty() || runs.back().column != column)
            runs.push_back({i, i, column});
        runs.back().end = i + 1;
    }
    uchar* const bits = frame.bits();
    const qsizetype bytesPerLine = frame.bytesPerLine();
    const auto fillRows = [&](int first, int last) {
        int previous = -1;
        for (int j = first; j < last; ++j) {
            auto* out = reinterpret_cast<std::uint32_t*>(bits + j * bytesPerLine);
            const int y =
                std::min(geometry.ImagePoint({0, shown.top() + j}).y() >> level, source.levelSize.height() - 1);
            if (y == previous) {
                std::memcpy(out, bits + (j - 1) * bytesPerLine, std::size_t(shown.width()) * 4);
                continue;
            }
            previous = y;
            const int row = y / source.cellHeight;
            const int inRow = y - row * source.cellHeight;
            for (const Run& run : runs) {
                const Cell& cell = source.At(run.column, row);
                const std::uint32_t* in = cell.pixels + std::size_t(inRow) * cell.stride;
                for (int i = run.begin; i < run.end; ++i)
                    out[i] = in[inCell[std::size_t(i)]];
            }
        }
    };
    RunSplit(shown.height(), std::int64_t(shown.width()) * shown.height(), fillRows);
}
