#include "CodecTestSupport.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <string>

using namespace codec_test;

namespace {

struct RoundTrip
{
    const char* name;
    int format;
    QImage (*picture)();
    double meanError; // per channel, 0 = bit-exact
};

void PrintTo(const RoundTrip& c, std::ostream* os)
{
    *os << c.name;
}

class CodecRoundTrip : public testing::TestWithParam<RoundTrip>
{
protected:
    QTemporaryDir dir;
};

TEST_P(CodecRoundTrip, SaveThenLoadKeepsThePicture)
{
    const RoundTrip& c = GetParam();
    const QImage source = c.picture();
    CCodecImage codec = Holding(source);
    // As the document does before a JPEG save.
    if (c.format == CCodecImage::Jpeg && !codec.IsGrayScale())
        codec.IncreaseBpp(24);
    codec.SetJpegQuality(99);
    const QString path = dir.filePath(QStringLiteral("out.") + FormatSuffix(c.format));
    ASSERT_TRUE(codec.Save(path, c.format));

    const Difference d = Compare(Opened(path, c.format), source);
    if (c.meanError == 0)
        EXPECT_EQ(d.largest, 0);
    else
        EXPECT_LE(d.mean, c.meanError);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CodecRoundTrip,
    testing::Values(RoundTrip{"BmpNoise", CCodecImage::Bmp, [] { return Noise(61, 37); }, 0},
                    RoundTrip{"PngNoise", CCodecImage::Png, [] { return Noise(61, 37); }, 0},
                    RoundTrip{"BmpFewColours", CCodecImage::Bmp, [] { return FewColours(50, 40, 7); }, 0},
                    RoundTrip{"GifFewColours", CCodecImage::Gif, [] { return FewColours(67, 45, 200); }, 0},
                    RoundTrip{"GifPhoto", CCodecImage::Gif, [] { return PhotoLike(300, 200); }, 5.0},
                    RoundTrip{"JpegPhoto", CCodecImage::Jpeg, [] { return PhotoLike(300, 200); }, 1.0},
                    RoundTrip{"JpegGrey", CCodecImage::Jpeg, [] { return Grey(120, 80); }, 1.0}),
    [](const testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

class CodecImage : public testing::Test
{
protected:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(CodecImage, GreyJpegIsWrittenWithOneChannelUnlessRaised)
{
    CCodecImage grey = Holding(Grey(64, 48));
    ASSERT_TRUE(grey.IsGrayScale());
    ASSERT_TRUE(grey.Save(Path("grey.jpg"), CCodecImage::Jpeg));
    EXPECT_EQ(QImageReader(Path("grey.jpg")).imageFormat(), QImage::Format_Grayscale8);

    grey.IncreaseBpp(24);
    ASSERT_TRUE(grey.Save(Path("colour.jpg"), CCodecImage::Jpeg));
    EXPECT_NE(QImageReader(Path("colour.jpg")).imageFormat(), QImage::Format_Grayscale8);
    CCodecImage loaded;
    loaded.Load(Path("colour.jpg"), CCodecImage::Jpeg);
    EXPECT_TRUE(loaded.IsGrayScale());
}

TEST_F(CodecImage, GreyScaleLooksAtUsedColoursOnly)
{
    QImage picture = Grey(20, 10);
    EXPECT_TRUE(Holding(picture).IsGrayScale());
    picture.setPixel(19, 9, qRgb(10, 10, 11));
    EXPECT_FALSE(Holding(picture).IsGrayScale());

    QImage indexed(8, 8, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(200, 200, 200), qRgb(255, 0, 0)});
    indexed.fill(1);
    ASSERT_TRUE(QImageWriter(Path("i.bmp"), "bmp").write(indexed));
    CCodecImage codec;
    codec.Load(Path("i.bmp"), CCodecImage::Bmp);
    ASSERT_EQ(codec.Image().colorCount(), 3);
    EXPECT_TRUE(codec.IsGrayScale()) << "the red palette entry is unused";
    EXPECT_FALSE(CCodecImage().IsGrayScale());
}

TEST_F(CodecImage, FewColoursReduceExactlyAndPhotosClosely)
{
    for (bool dither : {false, true}) {
        const QImage few = FewColours(90, 70, 256);
        CCodecImage codec = Holding(few);
        codec.DecreaseBpp(8, dither);
        ASSERT_EQ(codec.Image().format(), QImage::Format_Indexed8);
        EXPECT_EQ(Compare(codec.Image(), few).largest, 0);

        CCodecImage photo = Holding(Noise(40, 30, 7));
        photo.DecreaseBpp(8, dither);
        ASSERT_EQ(photo.Image().format(), QImage::Format_Indexed8);
        EXPECT_LE(photo.Image().colorCount(), 256);
        EXPECT_LT(Compare(photo.Image(), Noise(40, 30, 7)).mean, 20);
    }
}

TEST_F(CodecImage, FormatNumberChoosesTheDecoder)
{
    ASSERT_TRUE(Holding(Noise(9, 9)).Save(Path("p.png"), CCodecImage::Png));
    ASSERT_TRUE(Holding(Noise(9, 9)).Save(Path("x.tif"), CCodecImage::Bmp));
    EXPECT_TRUE(Opened(Path("p.png"), CCodecImage::Bmp).isNull());
    EXPECT_TRUE(Opened(Path("p.png"), CCodecImage::Gif).isNull());
    EXPECT_TRUE(Opened(Path("p.png"), CCodecImage::Jpeg).isNull());
    EXPECT_EQ(Compare(Opened(Path("x.tif"), CCodecImage::Bmp), Noise(9, 9)).largest, 0);
    for (int unknown : {0, 5, -1})
        EXPECT_TRUE(Opened(Path("p.png"), unknown).isNull());
    EXPECT_FALSE(Holding(Noise(9, 9)).Save(Path("u.img"), 5));
    EXPECT_FALSE(QFile::exists(Path("u.img")));
    EXPECT_TRUE(Opened(dir.path(), CCodecImage::Png).isNull()) << "a directory";
}

// A GIF of two pixels: red, then transparent.
QByteArray TransparentGif()
{
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* b, int n) {
            static_cast<QByteArray*>(g->UserData)->append(reinterpret_cast<const char*>(b), n);
            return n;
        },
        &error);
    GifColorType colours[2] = {{255, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    const GifByteType control[4] = {0x01, 0, 0, 1}; // transparent index 1
    GifPixelType line[2] = {0, 1};
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 2, 1, 8, 0, map);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    EGifPutImageDesc(gif, 0, 0, 2, 1, false, nullptr);
    EGifPutLine(gif, line, 2);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

TEST_F(CodecImage, TransparencyOpensOverWhite)
{
    // Taller than one band of tiles, with alpha that changes down the picture.
    QImage argb(3, 300, QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        argb.setPixel(0, y, qRgba(0, 0, 255, 0));
        argb.setPixel(1, y, qRgba(0, 0, 0, y % 256));
        argb.setPixel(2, y, qRgba(0, 200, 0, 255));
    }
    ASSERT_TRUE(QImageWriter(Path("t.png"), "png").write(argb));
    const QImage png = Opened(Path("t.png"), CCodecImage::Png);
    ASSERT_EQ(png.size(), argb.size());
    for (int y = 0; y < png.height(); ++y) {
        EXPECT_EQ(png.pixel(0, y), qRgb(255, 255, 255));
        EXPECT_NEAR(qRed(png.pixel(1, y)), 255 - y % 256, 1) << y;
        EXPECT_EQ(png.pixel(2, y), qRgb(0, 200, 0));
    }

    // Formats without transparency are written from the picture over white.
    CCodecImage codec;
    codec.Load(Path("t.png"), CCodecImage::Png);
    ASSERT_TRUE(codec.Save(Path("t.bmp"), CCodecImage::Bmp));
    EXPECT_EQ(Compare(Opened(Path("t.bmp"), CCodecImage::Bmp), png).largest, 0);

    ASSERT_TRUE(WriteBytes(Path("t.gif"), TransparentGif()));
    const QImage gif = Opened(Path("t.gif"), CCodecImage::Gif);
    ASSERT_EQ(gif.size(), QSize(2, 1));
    EXPECT_EQ(gif.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(gif.pixel(1, 0), qRgb(255, 255, 255));
}

TEST_F(CodecImage, TranslucentPicturesOfAnyShapeOpenOverWhite)
{
    // Converted in blocks of tiles: more than one block across (9000 × 130) and down (3 × 400000).
    for (const QSize size : {QSize(9000, 130), QSize(3, 400000), QSize(129, 1000), QSize(40000, 1)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        QImage argb(size, QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
            for (int x = 0; x < argb.width(); ++x)
                row[x] = qRgba(x * 7 % 256, y * 13 % 256, (x + y) % 256, (x * 3 + y * 5) % 256);
        }
        QImage expected(size, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(0, 0, argb);
        ASSERT_TRUE(QImageWriter(Path("shape.png"), "png").write(argb));
        EXPECT_EQ(Opened(Path("shape.png"), CCodecImage::Png), expected);
    }
}

TEST_F(CodecImage, JpegOrientationIsApplied)
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QImageWriter writer(Path("r.jpg"), "jpeg");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(picture));
    EXPECT_EQ(Opened(Path("r.jpg"), CCodecImage::Jpeg).size(), QSize(20, 40));
}

class CodecCorruptFile : public testing::TestWithParam<int>
{
protected:
    QTemporaryDir dir;
};

// Damaged files never crash; those without a decodable header are refused.
TEST_P(CodecCorruptFile, IsRefusedOrPartlyLoadedWithoutCrashing)
{
    const int format = GetParam();
    const QString good = dir.filePath(QStringLiteral("good"));
    ASSERT_TRUE(Holding(PhotoLike(150, 100)).Save(good, format));
    const QByteArray bytes = ReadBytes(good);
    QByteArray flipped = bytes;
    for (int i = 2; i < 40; i += 3)
        flipped[i] = char(~flipped[i]);
    QByteArray random(4096, Qt::Uninitialized);
    QRandomGenerator(format).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);

    const struct
    {
        const char* name;
        QByteArray data;
        bool refused;
    } cases[] = {{"half", bytes.left(bytes.size() / 2), false},
                 {"header", flipped, false},
                 {"empty", {}, true},
                 {"random", random, true}};
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(WriteBytes(path, c.data));
        const QImage opened = Opened(path, format); // DrawToState also runs on what loads
        EXPECT_TRUE(!c.refused || opened.isNull()) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecCorruptFile,
                         testing::Values(CCodecImage::Bmp, CCodecImage::Gif, CCodecImage::Jpeg, CCodecImage::Png),
                         [](const testing::TestParamInfo<int>& info) {
                             return FormatSuffix(info.param).toStdString();
                         });

quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char b : bytes) {
        crc ^= quint8(b);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray PngChunk(const char* type, const QByteArray& payload)
{
    QByteArray body = QByteArray(type) + payload, out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s << quint32(payload.size());
    s.writeRawData(body.constData(), int(body.size()));
    s << Crc32(body);
    return out;
}

TEST_F(CodecImage, HugeHeaderIsRefusedQuicklyButHundredMegapixelsLoad)
{
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly)
        << quint32(100000) << quint32(100000) << quint8(8) << quint8(2) << quint8(0) << quint8(0) << quint8(0);
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) +
                           PngChunk("IDAT", qCompress(QByteArray(4096, 0)).mid(4)) + PngChunk("IEND", {});
    ASSERT_TRUE(WriteBytes(Path("huge.png"), png));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(Opened(Path("huge.png"), CCodecImage::Png).isNull());
    EXPECT_LT(timer.elapsed(), 1000);

    QImage solid(12000, 8400, QImage::Format_RGB32);
    solid.fill(qRgb(20, 90, 160));
    QImageWriter writer(Path("100mp.png"), "png");
    writer.setCompression(1);
    ASSERT_TRUE(writer.write(solid));
    solid = {};
    CCodecImage codec;
    codec.Load(Path("100mp.png"), CCodecImage::Png);
    ASSERT_TRUE(codec.IsValid());
    EXPECT_EQ(codec.Image().size(), QSize(12000, 8400));
    EXPECT_EQ(codec.Image().pixel(11999, 8399), qRgb(20, 90, 160));
}

} // namespace
