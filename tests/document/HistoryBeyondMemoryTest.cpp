// A history over its memory budget moves older steps to the scratch file and brings them back on
// undo and redo, every state exactly as it was.
#include "document/CImageDoc.h"
#include "tiles/CTilePool.h"

#include "support/TestImages.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <sys/mount.h>

namespace {

constexpr int Side = 512; // 16 tiles
constexpr std::uint64_t PictureBytes = std::uint64_t(Side) * Side * 4;

class HistoryBeyondMemory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        scratch = dir.filePath(QStringLiteral("scratch")).toStdString();
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(scratch)));
        const QString path = WriteWithQt(MakePhotoLike(Side, Side), dir.filePath(QStringLiteral("photo.png")), "png");
        ASSERT_TRUE(doc.Load(path));
        model.push_back(doc.CurrentState().ReadAll());
    }

    // Room for a few pictures beyond what the process holds already.
    void Budget(int pictures, std::vector<std::string> folders)
    {
        budget = CTilePool::Shared().LiveBytes() + std::uint64_t(pictures) * PictureBytes;
        doc.SetHistoryBudget(budget, std::move(folders));
    }

    void Step(int kind, std::mt19937& random)
    {
        doc.selection.Clear();
        if (kind == 1) { // a partial effect: most tiles stay shared with the state below
            doc.selection.kind = SelectionKind::Rectangle;
            const int x = int(random() % (Side - 50)), y = int(random() % (Side - 50));
            doc.selection.AddPoint({x, y});
            doc.selection.AddPoint({x + 40, y + 40});
        }
        const bool applied = kind == 2 ? doc.ApplyBrightness(int(random() % 40) - 20) : doc.ApplyInvert();
        ASSERT_TRUE(applied) << doc.GetErrorText().toStdString();
        redo.clear();
        model.push_back(doc.CurrentState().ReadAll());
    }

    void Undo()
    {
        ASSERT_TRUE(doc.Undo()) << doc.GetErrorText().toStdString();
        redo.push_back(model.back());
        model.pop_back();
    }

    void Redo()
    {
        ASSERT_TRUE(doc.Redo()) << doc.GetErrorText().toStdString();
        model.push_back(redo.back());
        redo.pop_back();
    }

    QTemporaryDir dir;
    std::string scratch;
    CImageDoc doc;
    std::uint64_t budget = 0;
    std::vector<QImage> model, redo; // what the history must hold
};

} // namespace

// Random effects, undos, redos and drops against a model that keeps every state in memory: each
// state shown is the model's, memory stays within the budget and three pictures, and the whole
// history comes back both ways at the end.
TEST_F(HistoryBeyondMemory, KeepsEveryStepWithinTheBudget)
{
    Budget(4, {scratch});
    std::mt19937 random(11);
    for (int i = 0; i < 120; ++i) {
        const unsigned kind = random() % 10;
        if (kind < 6 || model.size() == 1)
            Step(int(random() % 3), random);
        else if (kind < 8)
            Undo();
        else if (kind < 9 && !redo.empty())
            Redo();
        else if (model.size() > 1) {
            ASSERT_TRUE(doc.DropNewest());
            model.pop_back();
        }
        ASSERT_EQ(doc.CurrentState().ReadAll(), model.back()) << "step " << i;
        EXPECT_LE(CTilePool::Shared().LiveBytes(), budget + 3 * PictureBytes) << "step " << i;
    }
    EXPECT_GT(doc.ScratchBytes(), 0u) << "the history never went beyond memory";
    while (model.size() > 1) {
        Undo();
        ASSERT_EQ(doc.CurrentState().ReadAll(), model.back()) << model.size();
    }
    while (!redo.empty()) {
        Redo();
        ASSERT_EQ(doc.CurrentState().ReadAll(), model.back()) << model.size();
    }
}

// Without a scratch file, or with its disk full, the oldest steps give way to keep memory within
// the budget, and the document says so once; the current state and the newest steps stay exact.
void ExpectNewestStepsKept(CImageDoc& doc, std::vector<QImage>& model, std::uint64_t budget)
{
    EXPECT_TRUE(doc.TakeDroppedStepsNotice());
    EXPECT_FALSE(doc.TakeDroppedStepsNotice()) << "said once";
    EXPECT_LE(CTilePool::Shared().LiveBytes(), budget + PictureBytes);
    ASSERT_LT(doc.UndoDepth(), model.size());
    ASSERT_GE(doc.UndoDepth(), 2u);
    const std::size_t kept = doc.UndoDepth();
    for (std::size_t i = 1; i < kept; ++i) {
        ASSERT_TRUE(doc.Undo()) << doc.GetErrorText().toStdString();
        ASSERT_EQ(doc.CurrentState().ReadAll(), model[model.size() - 1 - i]) << i;
    }
    EXPECT_FALSE(doc.Undo());
}

TEST_F(HistoryBeyondMemory, GivesUpTheOldestStepsWhereNoFileTakesThem)
{
    Budget(2, {"/nonexistent/quorvel"});
    std::mt19937 random(5);
    for (int i = 0; i < 2; ++i)
        Step(0, random);
    EXPECT_FALSE(doc.TakeDroppedStepsNotice()) << "within the budget, nothing goes";
    for (int i = 0; i < 6; ++i)
        Step(0, random);
    EXPECT_EQ(doc.ScratchBytes(), 0u);
    ExpectNewestStepsKept(doc, model, budget);
}

TEST_F(HistoryBeyondMemory, FullScratchFileSystemGivesUpOnlyTheOldestSteps)
{
    if (::mount("tmpfs", scratch.c_str(), "tmpfs", 0, "size=600k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    struct Unmount
    {
        std::string place;
        ~Unmount() { ::umount2(place.c_str(), MNT_DETACH); } // the scratch file may still be open
    } unmount{scratch};
    Budget(1, {scratch});
    std::mt19937 random(7);
    for (int i = 0; i < 12; ++i) {
        Step(0, random);
    }
    EXPECT_GT(doc.ScratchBytes(), 0u) << "what fitted went to the disk";
    ExpectNewestStepsKept(doc, model, budget);
}
