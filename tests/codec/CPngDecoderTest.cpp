#include "CodecTestSupport.h"
#include "support/TestData.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

using namespace codec_test;

// What Qt's reader shows of a PNG, painted onto white.
QImage QtShows(const QString& path)
{
    QImageReader reader(path, "png");
    const QImage read = reader.read();
    if (read.isNull() || !read.hasAlphaChannel())
        return read.convertToFormat(QImage::Format_RGB32);
    QImage out(read.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter(&out).drawImage(0, 0, read);
    return out;
}

// Every kind of PNG, decoded straight into tiles, shows exactly what Qt's reader shows: each colour
// type and bit depth, palettes with and without transparency, transparent colours, odd sizes.
TEST(PngDecoder, PngSuiteMatchesQtsReader)
{
    if (!HasTestData(QStringLiteral("pngsuite")))
        GTEST_SKIP() << "no PngSuite under " << TestDataDir().toStdString();
    const QString folder = TestDataDir() + QStringLiteral("/pngsuite/png/");
    int compared = 0;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.png")})) {
        const QImage expected = QtShows(folder + name);
        // Broken files are refused; 16-bit channels (the suite's names end in their depth) are for
        // Qt's reader, composited a block at a time.
        if (name.startsWith(QLatin1Char('x')) || name.mid(6, 2) == QLatin1String("16") || expected.isNull())
            continue;
        // Compared by pixels: Qt's picture also carries the colour space the file names.
        EXPECT_EQ(Compare(Opened(folder + name, CCodecImage::Png), expected).largest, 0) << name.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 120);
}

} // namespace
