// Before an effect or a load takes memory, the system is asked whether it can give it: on Linux
// the kernel would otherwise end the process, and the picture with it.
#include "document/CImageDoc.h"
#include "tiles/CSystemMemory.h"
#include "tiles/CTilePool.h"

#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int W = 600;
constexpr int H = 400;

class MemoryRefusal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        filePath = WriteWithQt(MakePhotoLike(W, H), dir.filePath(QStringLiteral("photo.png")), "png");
        ASSERT_TRUE(doc.Load(filePath)) << doc.GetErrorText().toStdString();
        CTilePool::Shared().Trim(); // no free tiles to reuse unless a test makes some
    }
    void TearDown() override { CSystemMemory::PretendAvailable(std::nullopt); }

    static void Leave(std::uint64_t bytes) { CSystemMemory::PretendAvailable(CSystemMemory::Reserve + bytes); }

    QTemporaryDir dir;
    QString filePath;
    CImageDoc doc;
};

} // namespace

TEST_F(MemoryRefusal, EffectIsRefusedBeforeItTakesAnything)
{
    const QImage before = doc.CurrentState().ReadAll();
    const std::size_t live = CTilePool::Shared().LiveBytes();
    Leave(CTilePool::TileBytes); // one tile
    EXPECT_FALSE(doc.ApplyInvert());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("内存不足,不能进行处理"));
    EXPECT_EQ(doc.UndoDepth(), 1u);
    EXPECT_EQ(CTilePool::Shared().LiveBytes(), live) << "nothing was taken";
    EXPECT_EQ(doc.CurrentState().ReadAll(), before);

    // A rectangle inside one tile needs that one tile.
    doc.selection.kind = SelectionKind::Rectangle;
    doc.selection.AddPoint({2, 2});
    doc.selection.AddPoint({20, 20});
    EXPECT_TRUE(doc.ApplyInvert()) << doc.GetErrorText().toStdString();
    // One far outside the picture needs nothing.
    doc.selection.Clear();
    doc.selection.kind = SelectionKind::Rectangle;
    doc.selection.AddPoint({-2'000'000'000, 5});
    doc.selection.AddPoint({-1'000'000'000, 50});
    Leave(0);
    EXPECT_TRUE(doc.ApplyInvert()) << doc.GetErrorText().toStdString();
}

// The live preview drops its last step and applies again: the tiles it gave back are reused.
TEST_F(MemoryRefusal, PreviewStepReusesTheTilesItGaveBack)
{
    ASSERT_TRUE(doc.ApplyInvert());
    ASSERT_TRUE(doc.DropNewest());
    Leave(0);
    EXPECT_TRUE(doc.ApplyInvert()) << doc.GetErrorText().toStdString();
}

TEST_F(MemoryRefusal, PictureTooLargeToHoldIsNotOpened)
{
    Leave(std::uint64_t(W) * H * 4 / 2); // less than the picture's own pixels
    EXPECT_FALSE(doc.Load(filePath));
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("无法打开文件"));
    EXPECT_EQ(doc.GetErrorCause(), QStringLiteral("图片太大"));
    CSystemMemory::PretendAvailable(std::nullopt);
    EXPECT_TRUE(doc.Load(filePath)) << doc.GetErrorText().toStdString();
}

// What the system says is read, not invented: there is some, and not without end.
TEST(SystemMemory, ReadsWhatTheSystemCanGive)
{
    const std::optional<std::uint64_t> available = CSystemMemory::Available();
    ASSERT_TRUE(available.has_value()) << "no MemAvailable in /proc/meminfo";
    EXPECT_GT(*available, 0u);
    EXPECT_TRUE(CSystemMemory::CanTake(0) || *available < CSystemMemory::Reserve);
    EXPECT_FALSE(CSystemMemory::CanTake(std::uint64_t(1) << 60));
}
