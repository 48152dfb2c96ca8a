#include "CodecTestSupport.h"
#include "support/TestData.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <iostream>

using namespace codec_test;

namespace {

constexpr qint64 MaxMillisecondsPerFile = 5000;

int FormatOf(const QString& suffix)
{
    const QString s = suffix.toLower();
    if (s == QLatin1String("bmp"))
        return CCodecImage::Bmp;
    if (s == QLatin1String("gif"))
        return CCodecImage::Gif;
    if (s == QLatin1String("jpg") || s == QLatin1String("jpeg"))
        return CCodecImage::Jpeg;
    return s == QLatin1String("png") ? CCodecImage::Png : 0;
}

struct Outcome
{
    QStringList refused;
    int files = 0;
    qint64 slowest = 0;
    QString slowestFile;
};

// Opens every file under `folder` with the decoder its extension names; a file of another kind
// goes to every decoder, which must refuse it or decode it, never crash or hang.
Outcome OpenAll(const QString& folder)
{
    Outcome out;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        const int format = FormatOf(file.suffix());
        const QList<int> decoders = format ? QList<int>{format} : QList<int>{1, 2, 3, 4};
        for (const int decoder : decoders) {
            QElapsedTimer timer;
            timer.start();
            const bool opened = !Opened(file.filePath(), decoder).isNull();
            const qint64 ms = timer.elapsed();
            EXPECT_LT(ms, MaxMillisecondsPerFile) << file.filePath().toStdString();
            if (ms >= out.slowest) {
                out.slowest = ms;
                out.slowestFile = file.filePath();
            }
            if (format && !opened)
                out.refused << file.filePath().mid(folder.size() + 1);
        }
        ++out.files;
    }
    std::cout << "[ opened   ] " << folder.toStdString() << ": " << out.files << " files, refused "
              << out.refused.join(QLatin1Char(' ')).toStdString() << "; slowest " << out.slowest << " ms ("
              << out.slowestFile.toStdString() << ")\n";
    return out;
}

TEST(CodecConformance, PngSuiteOpensAllButTheCorruptFiles)
{
    if (!HasTestData(QStringLiteral("pngsuite")))
        GTEST_SKIP() << "no PngSuite under " << TestDataDir().toStdString();
    const Outcome out = OpenAll(TestDataDir() + QStringLiteral("/pngsuite/png"));
    EXPECT_GT(out.files, 150);
    for (const QString& name :
         QDir(TestDataDir() + QStringLiteral("/pngsuite/png")).entryList({QStringLiteral("*.png")}))
        EXPECT_EQ(out.refused.contains(name), name.startsWith(QLatin1Char('x'))) << name.toStdString();
}

TEST(CodecConformance, BmpSuiteNeverCrashes)
{
    if (!HasTestData(QStringLiteral("bmpsuite")))
        GTEST_SKIP() << "no BMP Suite under " << TestDataDir().toStdString();
    for (const char* sub : {"g", "q", "b"})
        OpenAll(TestDataDir() + QStringLiteral("/bmpsuite/") + QLatin1String(sub));
}

TEST(CodecConformance, GdkPixbufImagesNeverCrash)
{
    const QString folder = QStringLiteral("/usr/libexec/installed-tests/gdk-pixbuf/test-images");
    if (!QDir(folder).exists())
        GTEST_SKIP() << "gdk-pixbuf-tests is not installed (" << folder.toStdString() << ")";
    for (const char* sub : {"fail", "randomly-modified", "reftests", "gif-test-suite"}) {
        if (QDir(folder + QLatin1Char('/') + QLatin1String(sub)).exists())
            OpenAll(folder + QLatin1Char('/') + QLatin1String(sub));
        else
            std::cout << "[ skipped  ] " << sub << " is absent\n";
    }
}

// The renderings bmpsuite.html shows for each file: the "src" images listed before it.
QMultiHash<QString, QString> BmpReferences(const QString& suite)
{
    QMultiHash<QString, QString> references;
    QStringList pending;
    static const QRegularExpression source(QStringLiteral("src=\"([^\"]+)\""));
    for (const auto& m : source.globalMatch(QString::fromUtf8(ReadBytes(suite + QStringLiteral("/bmpsuite.html"))))) {
        const QString name = m.captured(1);
        if (name.startsWith(QLatin1String("../"))) {
            for (const QString& reference : std::as_const(pending))
                references.insert(name.mid(3), reference);
            pending.clear();
        } else {
            pending << name;
        }
    }
    return references;
}

TEST(CodecConformance, GoodBmpFilesMatchTheirReferences)
{
    const QString suite = TestDataDir() + QStringLiteral("/bmpsuite");
    if (!HasTestData(QStringLiteral("bmpsuite")))
        GTEST_SKIP() << "no BMP Suite under " << TestDataDir().toStdString();
    const QMultiHash<QString, QString> references = BmpReferences(suite);
    for (const QString& name : QDir(suite + QStringLiteral("/g")).entryList({QStringLiteral("*.bmp")})) {
        const QImage opened = Opened(suite + QStringLiteral("/g/") + name, CCodecImage::Bmp);
        const QStringList candidates = references.values(QStringLiteral("g/") + name);
        ASSERT_FALSE(candidates.isEmpty()) << name.toStdString() << " is not in bmpsuite.html";
        // Qt widens 5- and 6-bit channels by shifting (31 -> 248); the suite only "assumes" full
        // scale (31 -> 255), so 16-bit files may be off by less than one step of 5 bits.
        const int tolerance = name.startsWith(QLatin1String("rgb16")) ? 7 : 0;
        // Where the suite shows several acceptable renderings (pal8nonsquare), one must match.
        bool matched = false;
        for (const QString& reference : candidates)
            matched |=
                Compare(opened, Opened(suite + QStringLiteral("/reference/") + reference, CCodecImage::Png)).largest <=
                tolerance;
        EXPECT_TRUE(matched) << name.toStdString() << " differs from "
                             << candidates.join(QLatin1Char(' ')).toStdString();
    }
}

} // namespace
