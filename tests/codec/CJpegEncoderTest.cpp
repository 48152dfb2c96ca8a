#include "CodecTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace codec_test;

QByteArray QtWrites(const QImage& picture, int quality)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(picture) ? out : QByteArray();
}

// Saving from the tiles writes the very file Qt's writer wrote from a copy of the picture, in
// colour and in grey, raised to colour or not.
TEST(JpegEncoder, WritesWhatQtsWriterWrote)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.jpg"));
    const struct
    {
        QImage picture;
        int quality;
        bool raised;
    } cases[] = {{PhotoLike(700, 530), 99, true},
                 {Noise(33, 17), 75, true},
                 {Grey(300, 301), 99, false},
                 {Grey(64, 48), 99, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.picture.width()) + " quality " + std::to_string(c.quality));
        CCodecImage codec = Holding(c.picture);
        if (c.raised)
            codec.IncreaseBpp(24);
        codec.SetJpegQuality(c.quality);
        ASSERT_TRUE(codec.Save(path, CCodecImage::Jpeg));
        const QImage expected = c.raised ? c.picture.convertToFormat(QImage::Format_RGB888)
                                         : c.picture.convertToFormat(QImage::Format_Grayscale8);
        EXPECT_EQ(ReadBytes(path), QtWrites(expected, c.quality));
    }
}

} // namespace
