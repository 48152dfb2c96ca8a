#include "codec/CPngEncoder.h"

#include "CodecTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <png.h>

namespace {

using namespace codec_test;

QByteArray Encoded(const QImage& picture, bool grey)
{
    QByteArray out;
    const bool encoded = CPngEncoder::Encode(
        picture.size(), grey,
        [&picture](int y, std::uint32_t* row) {
            std::memcpy(row, picture.constScanLine(y), std::size_t(picture.width()) * 4);
        },
        out);
    return encoded ? out : QByteArray();
}

QImage ReadByQt(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    QImageReader reader(&buffer, "png");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// libpng checks every chunk's CRC and the stream's Adler-32 on the way.
QImage ReadByLibpng(const QByteArray& png)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.constData(), std::size_t(png.size())))
        return {};
    image.format = PNG_FORMAT_BGRA;
    QImage out(int(image.width), int(image.height), QImage::Format_ARGB32);
    const bool read = png_image_finish_read(&image, nullptr, out.bits(), out.bytesPerLine(), nullptr);
    png_image_free(&image);
    return read ? out.convertToFormat(QImage::Format_RGB32) : QImage();
}

// Pictures of one row, one column and many blocks of work, in colour and in grey, read back the same
// by every decoder at hand, from the one stream the blocks were joined into.
TEST(PngEncoder, EveryDecoderReadsBackThePicture)
{
    for (const QImage& picture : {Noise(1, 1), Noise(3001, 1, 2), Noise(1, 2000, 3), Noise(1500, 900, 4),
                                  PhotoLike(2100, 700), Grey(777, 3000)}) {
        for (const bool grey : {false, true}) {
            if (grey && !picture.allGray())
                continue;
            SCOPED_TRACE(std::to_string(picture.width()) + "x" + std::to_string(picture.height()) +
                         (grey ? " grey" : " colour"));
            const QByteArray png = Encoded(picture, grey);
            ASSERT_FALSE(png.isEmpty());
            EXPECT_EQ(png[25], grey ? 0 : 2) << "colour type";
            EXPECT_EQ(ReadByQt(png), picture);
            EXPECT_EQ(ReadByLibpng(png), picture);
        }
    }
}

// Saving an all-grey picture writes one channel, which reads back as it was.
TEST(PngEncoder, GreyPictureIsSavedWithOneChannel)
{
    const QString path =
        QDir::temp().filePath(QStringLiteral("quorvel-grey-%1.png").arg(QCoreApplication::applicationPid()));
    const QImage grey = Grey(300, 200);
    ASSERT_TRUE(Holding(grey).Save(path, CCodecImage::Png));
    const QByteArray png = ReadBytes(path);
    QFile::remove(path);
    ASSERT_GT(png.size(), 26);
    EXPECT_EQ(png[25], 0) << "colour type";
    EXPECT_EQ(ReadByQt(png), grey);
}

} // namespace

namespace {

// Pillow reads the joined stream too, where it is installed.
TEST(PngEncoder, PillowReadsBackThePicture)
{
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import PIL")});
    if (!probe.waitForFinished() || probe.exitCode() != 0)
        GTEST_SKIP() << "no Pillow (python3-pil) for /usr/bin/python3";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("noise.png"));
    const QImage picture = Noise(1500, 900, 5);
    ASSERT_TRUE(WriteBytes(path, Encoded(picture, false)));
    QProcess pillow;
    pillow.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys; from PIL import Image; "
                                 "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGB').tobytes())"),
                  path});
    ASSERT_TRUE(pillow.waitForFinished(60000));
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray expected;
    for (int y = 0; y < rgb.height(); ++y)
        expected.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    EXPECT_TRUE(pillow.readAllStandardOutput() == expected);
}

} // namespace
