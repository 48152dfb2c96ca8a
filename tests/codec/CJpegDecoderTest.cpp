#include "codec/CJpegDecoder.h"
#include "tiles/CSystemMemory.h"

#include "CodecTestSupport.h"

#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

using namespace codec_test;

// What Qt's own reader shows of a JPEG, orientation applied, as the tiles hold it.
QImage QtReads(const QString& path)
{
    QImageReader reader(path, "jpeg");
    reader.setAutoTransform(true);
    reader.setAllocationLimit(CCodecImage::AllocationLimitMiB);
    const QSize size = reader.size();
    if (qint64(size.width()) * size.height() > 8192 * 8192)
        return {}; // a header that claims more than its file holds, which the editor refuses
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// Decoding straight into tiles shows exactly what Qt's reader shows: every EXIF orientation, grey
// and colour, baseline and progressive, pictures of one band and of many tiles.
TEST(JpegDecoder, MatchesQtsReaderInEveryOrientation)
{
    QTemporaryDir dir;
    const struct
    {
        QImage picture;
        bool progressive;
    } cases[] = {{PhotoLike(37, 23), false}, {Noise(700, 530, 3), true}, {Grey(530, 700), false}};
    for (const auto& c : cases) {
        for (int t = 0; t < 8; ++t) {
            SCOPED_TRACE(std::to_string(c.picture.width()) + " transformation " + std::to_string(t));
            const QString path = dir.filePath(QStringLiteral("o.jpg"));
            QImageWriter writer(path, "jpeg");
            writer.setTransformation(QImageIOHandler::Transformations(t));
            writer.setProgressiveScanWrite(c.progressive);
            ASSERT_TRUE(
                writer.write(c.picture.allGray() ? c.picture.convertToFormat(QImage::Format_Grayscale8) : c.picture));
            const QImage expected = QtReads(path);
            ASSERT_FALSE(expected.isNull());
            EXPECT_EQ(Opened(path, CCodecImage::Jpeg), expected);
        }
    }
}

TEST(JpegDecoder, SystemJpegFilesMatchQtsReader)
{
    const QString folder = QStringLiteral("/usr/libexec/installed-tests/gdk-pixbuf");
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.jpg")});
    if (files.isEmpty())
        GTEST_SKIP() << "gdk-pixbuf-tests is not installed (" << folder.toStdString() << ")";
    for (const QString& name : files) {
        const QImage expected = QtReads(folder + QLatin1Char('/') + name);
        if (expected.isNull())
            continue;
        EXPECT_EQ(Opened(folder + QLatin1Char('/') + name, CCodecImage::Jpeg), expected) << name.toStdString();
    }
}

// A segment cut anywhere, or pointing anywhere, gives an orientation, never a read past its end.
TEST(JpegDecoder, DamagedExifGivesAnOrientation)
{
    const QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 28);
    ASSERT_EQ(CJpegDecoder::ExifOrientation(exif), 6);
    for (qsizetype n = 0; n < exif.size(); ++n)
        EXPECT_GE(CJpegDecoder::ExifOrientation(exif.left(n)), 1);
    for (quint32 offset : {0x14u, 0xFFFFu, 0xFFFFFFFFu}) {
        QByteArray far = exif;
        qToBigEndian(offset, far.data() + 10);
        EXPECT_EQ(CJpegDecoder::ExifOrientation(far), 1);
    }
}

} // namespace

namespace {

// A small picture with a long tail is refused before the file is read into memory it would not fit.
TEST(JpegDecoder, FileLargerThanTheMemoryLeftIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tail.jpg"));
    ASSERT_TRUE(QImageWriter(path, "jpeg").write(PhotoLike(40, 30)));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(8 << 20, '\0'));
    }
    CSystemMemory::PretendAvailable(CSystemMemory::Reserve + (1 << 20));
    CCodecImage codec;
    codec.Load(path, CCodecImage::Jpeg);
    CSystemMemory::PretendAvailable(std::nullopt);
    EXPECT_FALSE(codec.IsValid());
    EXPECT_EQ(codec.FailureCause(), CCodecImage::TooLargeText());
    EXPECT_FALSE(Opened(path, CCodecImage::Jpeg).isNull()) << "with the memory there, it opens";
}

} // namespace
