// Running over files: what is written, what is kept, what is reported, and the exit status.
#include "batch/BatchRun.h"
#include "batch/CBatchRunner.h"
#include "support/TestImages.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
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
    for (const QString& bad : {QStringLiteral("corrupt.png"), QStringLiteral("missing.png")}) {
        EXPECT_TRUE(run.err.contains(Path(bad) + QStringLiteral(": 无法打开文件"))) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out + QLatin1Char('/') + bad));
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

// Makes a folder that even root cannot write into, for as long as it lives: read-only permissions,
// and where the file system allows it the immutable flag, which binds root too.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path) : path(path)
    {
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
        if (::geteuid() == 0)
            immutable = SetImmutable(true);
    }
    ~ReadOnlyFolder()
    {
        if (immutable)
            SetImmutable(false);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool Holds() const { return ::geteuid() != 0 || immutable; }

private:
    bool SetImmutable(bool on) const
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }

    QString path;
    bool immutable = false;
};

TEST_F(BatchRunTest, ReportsAFolderItCannotWriteInto)
{
    const QString input = Photo(QStringLiteral("picture.png"));
    const QString folder = Path(QStringLiteral("locked"));
    const ReadOnlyFolder locked(folder);
    if (!locked.Holds())
        GTEST_SKIP() << "running as root on a file system without the immutable flag: no folder is read-only here";

    const BatchRun run({QStringLiteral("--gray"), QStringLiteral("0"), input, Photo(QStringLiteral("other.png"), 2),
                        QStringLiteral("-d"), folder});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.count(QStringLiteral(": 文件无法保存")), 2) << run.err.toStdString();
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace
