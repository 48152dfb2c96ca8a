#include "CodecTestSupport.h"

#include "support/Unprivileged.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace codec_test;

namespace {

// Each case first saves a small picture, then tries to replace it with a large noisy one.
class CodecAtomicSave : public testing::TestWithParam<int>
{
protected:
    QString Target(const QString& folder) const { return folder + QStringLiteral("/old.") + FormatSuffix(GetParam()); }

    // Saves the small picture and returns its bytes.
    QByteArray SaveOld(const QString& path) const
    {
        EXPECT_TRUE(Holding(FewColours(16, 16, 5)).Save(path, GetParam()));
        return ReadBytes(path);
    }

    bool SaveLarge(const QString& path) const { return Holding(Noise(400, 400)).Save(path, GetParam()); }

    QTemporaryDir dir;
};

struct Unmount
{
    QByteArray point;
    ~Unmount() { ::umount2(point.constData(), MNT_DETACH); }
};

TEST_P(CodecAtomicSave, FullDiskKeepsTheOldFile)
{
    const QString folder = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray point = QFile::encodeName(folder);
    if (::mount("tmpfs", point.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
    const Unmount unmount{point};

    const QByteArray old = SaveOld(Target(folder));
    ASSERT_FALSE(old.isEmpty());
    EXPECT_FALSE(SaveLarge(Target(folder)));
    EXPECT_EQ(ReadBytes(Target(folder)), old);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 1)
        << "the temporary file is removed";
}

TEST_P(CodecAtomicSave, ReadOnlyFolderKeepsTheOldFile)
{
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray old = SaveOld(Target(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(Target(folder)).constData(), 0444), 0); // nor may the file be written
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);

    // Small and of few colours: a forked child must not wait on Qt's or OpenMP's worker threads,
    // which do not survive fork().
    const int saved =
        RunUnprivileged([this, &folder] { return Holding(FewColours(20, 20, 9)).Save(Target(folder), GetParam()); });
    ASSERT_NE(saved, -1) << "could not become an unprivileged user";
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadBytes(Target(folder)), old);
    ::chmod(QFile::encodeName(folder).constData(), 0755); // lets QTemporaryDir clean up
}

TEST_P(CodecAtomicSave, ReplacesAnExistingFileAndAcceptsLongPaths)
{
    QString folder = dir.path();
    while (folder.size() < 1200)
        folder += QLatin1Char('/') + QString(200, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(folder));
    SaveOld(Target(folder));
    ASSERT_TRUE(SaveLarge(Target(folder)));
    EXPECT_EQ(Opened(Target(folder), GetParam()).size(), QSize(400, 400));
}

TEST_P(CodecAtomicSave, MissingFolderFails)
{
    EXPECT_FALSE(SaveLarge(Target(dir.filePath(QStringLiteral("no/such")))));
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("no"))).exists());
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecAtomicSave,
                         testing::Values(CCodecImage::Bmp, CCodecImage::Gif, CCodecImage::Jpeg, CCodecImage::Png),
                         [](const testing::TestParamInfo<int>& info) {
                             return FormatSuffix(info.param).toStdString();
                         });

} // namespace
