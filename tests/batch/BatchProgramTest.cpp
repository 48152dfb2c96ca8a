// The installed program itself: its exit statuses as a script sees them.
#include "support/TestImages.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Exit
{
    int status;
    QString err;
};

Exit RunProgram(const QStringList& arguments)
{
    QProcess program;
    program.start(QStringLiteral(QUORVEL_BATCH_PROGRAM), arguments);
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
        return {-1, program.errorString()};
    return {program.exitCode(), QString::fromUtf8(program.readAllStandardError())};
}

TEST(BatchProgram, ExitsWithZeroOneOrTwo)
{
    QTemporaryDir dir;
    const QString good = WriteWithQt(MakePhotoLike(32, 24), dir.filePath(QStringLiteral("good.png")), "png");
    const QString out = dir.filePath(QStringLiteral("out"));

    EXPECT_EQ(RunProgram({QStringLiteral("--help")}).status, 0);

    const Exit refused =
        RunProgram({QStringLiteral("--threshold"), QStringLiteral("256"), good, QStringLiteral("-d"), out});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--threshold 的 T 应为 0 到 255 之间的整数")))
        << refused.err.toStdString();

    const Exit written =
        RunProgram({QStringLiteral("--threshold"), QStringLiteral("255"), good, QStringLiteral("-d"), out});
    EXPECT_EQ(written.status, 0) << written.err.toStdString();
    EXPECT_FALSE(QImage(out + QStringLiteral("/good.png")).isNull());

    const Exit failed = RunProgram({QStringLiteral("--invert"), dir.filePath(QStringLiteral("none.png")), good,
                                    QStringLiteral("-d"), dir.filePath(QStringLiteral("again"))});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.contains(QStringLiteral("成功 1 个,失败 1 个"))) << failed.err.toStdString();
}

} // namespace
