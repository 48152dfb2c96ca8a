#include "document/CImageDoc.h"

#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class CImageDocHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        original = MakePhotoLike(300, 200);
        filePath = WriteWithQt(original, dir.filePath(QStringLiteral("photo.png")), "png");
        ASSERT_TRUE(doc.Load(filePath)) << doc.GetErrorText().toStdString();
    }

    // A state like the current one with a small patch of `color` at `where`, as an effect makes.
    std::unique_ptr<ImageState> Patched(QRgb color, QPoint where = QPoint(10, 10))
    {
        auto state = doc.CurrentState().Clone();
        QImage patch(8, 8, QImage::Format_RGB32);
        patch.fill(color);
        EXPECT_TRUE(state->WriteRegion(patch, where));
        return state;
    }

    QRgb Pixel(QPoint p) const { return doc.CurrentState().ReadRegion(QRect(p, QSize(1, 1))).pixel(0, 0); }

    QTemporaryDir dir;
    QImage original;
    QString filePath;
    CImageDoc doc;
};

} // namespace

TEST_F(CImageDocHistory, FreshImageHasNothingToUndoRedoOrDrop)
{
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetWidth(), 300u);
    EXPECT_EQ(doc.GetHeight(), 200u);
    EXPECT_EQ(doc.GetPath(), filePath);
    EXPECT_EQ(doc.GetType(), FileType::Png);
    EXPECT_EQ(doc.CurrentState().ReadAll(), original);

    EXPECT_FALSE(doc.Undo());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("已经撤消到第一个状态了"));
    EXPECT_FALSE(doc.Redo());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("已经重复到最后一个状态了"));
    EXPECT_FALSE(doc.DropNewest());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("已经是最初状态了,无法删除"));
    EXPECT_EQ(doc.UndoDepth(), 1u);
}

TEST_F(CImageDocHistory, UndoingEverythingKeepsTheDocumentModified)
{
    doc.PushState(Patched(qRgb(255, 0, 0)));
    doc.PushState(Patched(qRgb(0, 255, 0)));
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.CurrentState().ReadAll(), original);
    EXPECT_EQ(doc.RedoDepth(), 2u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.Undo());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("已经撤消到第一个状态了"));
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Pixel({12, 12}), qRgb(255, 0, 0)) << "redo brings back the most recently undone first";
}

TEST_F(CImageDocHistory, PushKeepsTheRedoStackSoRedoLandsOnTheNewState)
{
    doc.PushState(Patched(qRgb(255, 0, 0), QPoint(10, 10))); // A
    ASSERT_TRUE(doc.Undo());
    doc.PushState(Patched(qRgb(0, 0, 255), QPoint(100, 100))); // B
    EXPECT_EQ(doc.RedoDepth(), 1u);
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.UndoDepth(), 3u); // loaded, B, A
    EXPECT_EQ(Pixel({12, 12}), qRgb(255, 0, 0)) << "A is current";
    EXPECT_EQ(Pixel({102, 102}), original.pixel(102, 102)) << "A was made from the loaded image, not from B";
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Pixel({102, 102}), qRgb(0, 0, 255)) << "B lies under A";
}

TEST_F(CImageDocHistory, UndoAndRedoMoveTheSameRecord)
{
    doc.PushState(Patched(qRgb(255, 0, 0)));
    const ImageState* pushed = &doc.CurrentState();
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(&doc.CurrentState(), pushed);
}

TEST_F(CImageDocHistory, DropAfterUndoReleasesTheStateThatBecameCurrent)
{
    doc.PushState(Patched(qRgb(255, 0, 0)));
    doc.PushState(Patched(qRgb(0, 255, 0), QPoint(50, 50)));
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.DropNewest());
    EXPECT_EQ(doc.UndoDepth(), 1u);
    EXPECT_EQ(doc.RedoDepth(), 1u);
    EXPECT_EQ(doc.CurrentState().ReadAll(), original);
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Pixel({52, 52}), qRgb(0, 255, 0));
}

TEST_F(CImageDocHistory, DroppedPreviewLeavesThePictureButNotTheFlag)
{
    doc.PushState(Patched(qRgb(255, 0, 0)));
    ASSERT_TRUE(doc.DropNewest());
    EXPECT_EQ(doc.CurrentState().ReadAll(), original);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(CImageDocHistory, ClearEmptiesEverythingButKeepsTheSelection)
{
    doc.selection.AddPoint({1, 2});
    doc.selection.AddPoint({30, 40});
    doc.selection.kind = SelectionKind::Ellipse;
    doc.PushState(Patched(qRgb(255, 0, 0)));
    doc.Undo();
    doc.Clear();
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetWidth(), 0u);
    EXPECT_EQ(doc.GetHeight(), 0u);
    EXPECT_EQ(doc.GetPath(), QString());
    EXPECT_EQ(doc.GetErrorText(), QString());
    EXPECT_EQ(doc.GetType(), FileType::None);
    EXPECT_EQ(doc.UndoDepth() + doc.RedoDepth(), 0u);
    EXPECT_EQ(doc.selection.kind, SelectionKind::Ellipse);
    EXPECT_EQ(doc.selection.points.size(), 2);
}

TEST_F(CImageDocHistory, SharedTilesCountOnceInTheHistory)
{
    const std::size_t one = doc.HistoryBytes();
    const ImageState& state = doc.CurrentState();
    const std::size_t tiles = std::size_t(state.TileColumns()) * state.TileRows();
    EXPECT_EQ(one, tiles * CTilePool::TileBytes);
    doc.PushState(Patched(qRgb(255, 0, 0))); // touches one tile
    EXPECT_EQ(doc.HistoryBytes(), one + CTilePool::TileBytes);
    doc.Undo();
    EXPECT_EQ(doc.HistoryBytes(), one + CTilePool::TileBytes) << "the redo stack counts too";
}

TEST_F(CImageDocHistory, DrawCurrentCopiesAndScales)
{
    QImage target(310, 210, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        ASSERT_TRUE(doc.DrawCurrent(painter, QRect(5, 5, 300, 200), QRect(0, 0, 300, 200)));
    }
    EXPECT_EQ(target.copy(5, 5, 300, 200), original);
    EXPECT_EQ(target.pixel(2, 2), qRgb(255, 255, 255));

    QImage half(150, 100, QImage::Format_RGB32);
    {
        QPainter painter(&half);
        ASSERT_TRUE(doc.DrawCurrent(painter, half.rect(), QRect(0, 0, 300, 200)));
    }
    EXPECT_LT(MeanChannelError(half, original.scaled(150, 100)), 8.0);

    QPainter inactive;
    EXPECT_FALSE(doc.DrawCurrent(inactive, half.rect(), half.rect()));
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("贴图时发生错误"));
}

TEST_F(CImageDocHistory, StateThatCannotBeAllocatedLeavesTheHistory)
{
    CTilePool::Shared().SetLiveLimit(CTilePool::Shared().LiveBytes());
    auto state = doc.CurrentState().Clone();
    QImage patch(8, 8, QImage::Format_RGB32);
    patch.fill(Qt::red);
    EXPECT_FALSE(state->WriteRegion(patch, QPoint(0, 0)));
    CTilePool::Shared().SetLiveLimit(0);
    doc.PushState(nullptr);
    EXPECT_EQ(doc.UndoDepth(), 1u);
    EXPECT_FALSE(doc.IsModified());
}

TEST(CImageDocEmpty, EveryHistoryOperationIsRefused)
{
    CImageDoc doc;
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(doc.GetType(), FileType::None);
    for (auto operation : {&CImageDoc::Undo, &CImageDoc::Redo, &CImageDoc::DropNewest}) {
        EXPECT_FALSE((doc.*operation)());
        EXPECT_EQ(doc.GetErrorText(), QStringLiteral("图片不存在"));
    }
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter painter(&target);
    EXPECT_FALSE(doc.DrawCurrent(painter, target.rect(), target.rect()));
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("当前图片不存在"));
}
