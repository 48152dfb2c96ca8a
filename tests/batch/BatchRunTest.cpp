// Running over files: what is written, what is kept, what is reported, and the exit status.
#include "batch/BatchRun.h"
#include "batch/CBatchRunner.h"
#include "support/ReadOnlyPath.h"
#include "support/TestImages.h"
#include "tiles/CTilePool.h"

#include <QFileInfo>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

class BatchRunTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Photo(const QString& name, unsigned seed = 1)
    {
        return WriteWithQt(MakePhotoLike(48, 32, seed), dir.filePath(name), "png");
    }
    QString Garbage(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

bool Inverted(const QString& original, const QString& result)
{
    QImage a = QImage(original).convertToFormat(QImage::Format_RGB32);
    a.invertPixels();
    return !a.isNull() && a == QImage(result).convertToFormat(QImage::Format_RGB32);
}

TEST_F(BatchRunTest, ReportsEveryFileAndGoesOnPastOnesThatCannotBeRead)
{
    QStringList inputs;
    for (int i = 0; i < 6; ++i)
        inputs.append(Photo(QStringLiteral("good%1.png").arg(i), unsigned(i + 1)));
    inputs.insert(2, Garbage(QStringLiteral("corrupt.png"), QByteArray("\x89PNG\r\n\x1a\n not really", 19)));
    inputs.insert(5, Path(QStringLiteral("missing.png")));
    const QString out = Path(QStringLiteral("out"));

    const BatchRun run(
        QStringList{QStringLiteral("--invert"), QStringLiteral("-j"), QStringLiteral("3"), QStringLiteral("-d"), out} +
        inputs);

    EXPECT_EQ(run.status, 1);
    const QStringList lines = run.ErrLines();
    ASSERT_EQ(lines.size(), inputs.size() + 1) << run.err.toStdString();
    for (qsizetype i = 0; i < inputs.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("[%1/8] ").arg(i + 1))) << lines[i].toStdString();
    EXPECT_TRUE(lines.last().contains(QStringLiteral("成功 6 个,失败 2 个"))) << lines.last().toStdString();
    // The editor's text, then the cause.
    const struct
    {
        const char* name;
        QString cause;
    } bad[] = {{"corrupt.png", QStringLiteral("文件不完整")},
               {"missing.png", QString::fromLocal8Bit(std::strerror(ENOENT))}};
    for (const auto& b : bad) {
        const QString name = QString::fromLatin1(b.name);
        EXPECT_TRUE(run.err.contains(Path(name) + QStringLiteral(": 无法打开文件: ") + b.cause))
            << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out + QLatin1Char('/') + name));
    }
    for (int i = 0; i < 6; ++i) {
        const QString name = QStringLiteral("good%1.png").arg(i);
        EXPECT_TRUE(run.err.contains(Path(name) + QStringLiteral(" → ") + out + QLatin1Char('/') + name));
        EXPECT_TRUE(Inverted(Path(name), out + QLatin1Char('/') + name)) << name.toStdString();
    }
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 6); // no temporary file left behind
}

TEST_F(BatchRunTest, ChangesTheFormatWithTheExtension)
{
    const QString input = Photo(QStringLiteral("picture.png"));
    const BatchRun run(
        {QStringLiteral("-d"), Path(QStringLiteral("out")), QStringLiteral("--format"), QStringLiteral("jpeg"), input});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QImageReader reader(Path(QStringLiteral("out/picture.jpeg")));
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
}

TEST_F(BatchRunTest, KeepsAnExistingOutputUnlessToldToOverwrite)
{
    const QString input = Photo(QStringLiteral("picture.png"));
    const QString output = Garbage(QStringLiteral("result.png"), "keep me");

    const BatchRun kept({QStringLiteral("--invert"), input, QStringLiteral("-o"), output});
    EXPECT_EQ(kept.status, 1);
    EXPECT_TRUE(kept.err.contains(CBatchRunner::ExistingOutputText())) << kept.err.toStdString();
    EXPECT_EQ(FileBytes(output), QByteArray("keep me"));

    const BatchRun replaced(
        {QStringLiteral("--invert"), input, QStringLiteral("-o"), output, QStringLiteral("--overwrite")});
    EXPECT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_TRUE(Inverted(input, output));
}

TEST_F(BatchRunTest, NeverOverwritesItsInputUnlessToldTo)
{
    const QString input = Photo(QStringLiteral("picture.png"));
    const QByteArray before = FileBytes(input);
    const QString copy = WriteWithQt(QImage(input), Path(QStringLiteral("copy.png")), "png");

    const BatchRun kept({QStringLiteral("--invert"), input, QStringLiteral("-d"), dir.path()});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(FileBytes(input), before);

    const BatchRun replaced(
        {QStringLiteral("--invert"), input, QStringLiteral("-o"), input, QStringLiteral("--overwrite")});
    EXPECT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_TRUE(Inverted(copy, input));
}

TEST_F(BatchRunTest, ReportsAFolderItCannotWriteInto)
{
    const QString input = Photo(QStringLiteral("picture.png"));
    const QString folder = Path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const ReadOnlyPath locked(folder);
    if (!locked.Holds())
        GTEST_SKIP() << ReadOnlyPath::NotHeld;

    const BatchRun run({QStringLiteral("--gray"), QStringLiteral("0"), input, Photo(QStringLiteral("other.png"), 2),
                        QStringLiteral("-d"), folder});
    EXPECT_EQ(run.status, 1);
    const int refused = ::geteuid() == 0 ? EPERM : EACCES; // the immutable flag, or the folder's mode
    EXPECT_EQ(run.err.count(QStringLiteral(": 文件无法保存: ") + QString::fromLocal8Bit(std::strerror(refused))), 2)
        << run.err.toStdString();
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Causes that the editor's texts leave out: a picture too large to decode, and memory running out.
TEST_F(BatchRunTest, NamesTheCauseOfPicturesThatCannotBeOpened)
{
    QByteArray bomb("BM", 2);
    bomb += QByteArray(52, '\0');
    const auto put = [&bomb](int at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            bomb[at + i] = char(value >> (8 * i));
    };
    put(10, 54);
    put(14, 40);
    put(18, 16000);
    put(22, 16000);
    bomb[26] = 1;
    bomb[28] = 32;
    const QString huge = Garbage(QStringLiteral("huge.bmp"), bomb + QByteArray(16, '\1'));
    const QString photo = Photo(QStringLiteral("photo.png"));
    CTilePool& pool = CTilePool::Shared();
    pool.SetLiveLimit(pool.LiveBytes() + 1); // no tile to be had
    const auto unlimited = qScopeGuard([&pool] { pool.SetLiveLimit(0); });

    const BatchRun run({QStringLiteral("--invert"), huge, photo, QStringLiteral("-d"), Path(QStringLiteral("out"))});
    EXPECT_TRUE(run.err.contains(huge + QStringLiteral(": 无法打开文件: 图片太大"))) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains(photo + QStringLiteral(": 无法打开文件: ") + QString::fromLocal8Bit(std::strerror(ENOMEM))))
        << run.err.toStdString();
}

// Between steps only the current picture is needed: a long chain runs within a few pictures' bytes.
TEST_F(BatchRunTest, AChainOfAnyLengthKeepsOnlyTheCurrentPicture)
{
    const QString input = WriteWithQt(MakePhotoLike(512, 384), Path(QStringLiteral("in.png")), "png");
    QStringList arguments{QStringLiteral("-j"), QStringLiteral("1")};
    for (int i = 0; i < 60; ++i)
        arguments << QStringLiteral("--invert");
    CTilePool& pool = CTilePool::Shared();
    const std::size_t picture = 4 * 3 * CTilePool::TileBytes; // 512 × 384 in whole tiles
    pool.SetLiveLimit(pool.LiveBytes() + 4 * picture);
    const auto unlimited = qScopeGuard([&pool] { pool.SetLiveLimit(0); });

    const BatchRun run(arguments + QStringList{input, QStringLiteral("-o"), Path(QStringLiteral("out.png"))});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(QImage(Path(QStringLiteral("out.png"))).convertToFormat(QImage::Format_RGB32),
              QImage(input).convertToFormat(QImage::Format_RGB32))
        << "an even number of inversions";
}

} // namespace
