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

// Without a scratch file, or with a full one, the steps stay in memory: nothing is lost.
TEST_F(HistoryBeyondMemory, KeepsEverythingInMemoryWhereNoFileTakesIt)
{
    Budget(1, {"/nonexistent/quorvel"});
    std::mt19937 random(5);
    for (int i = 0; i < 6; ++i)
        Step(0, random);
    EXPECT_EQ(doc.ScratchBytes(), 0u);
    EXPECT_EQ(doc.HistoryBytes(), 7 * PictureBytes);
    for (int i = 0; i < 6; ++i) {
        Undo();
        ASSERT_EQ(doc.CurrentState().ReadAll(), model.back());
    }
}

TEST_F(HistoryBeyondMemory, FullScratchFileSystemKeepsTheRestInMemory)
{
    if (::mount("tmpfs", scratch.c_str(), "tmpfs", 0, "size=600k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    struct Unmount
    {
        std::string place;
        ~Unmount() { ::umount(place.c_str()); }
    } unmount{scratch};
    Budget(1, {scratch});
    std::mt19937 random(7);
    for (int i = 0; i < 8; ++i)
        Step(0, random);
    EXPECT_GT(doc.ScratchBytes(), 0u);
    EXPECT_GT(doc.HistoryBytes(), 3 * PictureBytes) << "what did not fit stayed in memory";
    while (model.size() > 1) {
        Undo();
        ASSERT_EQ(doc.CurrentState().ReadAll(), model.back());
    }
}
