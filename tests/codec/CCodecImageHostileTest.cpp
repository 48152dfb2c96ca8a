// Files made to hurt: short ones, ones whose headers claim far more than they hold, metadata that
// claims gigabytes, and a path swapped under the decoder's feet.
#include "CodecTestSupport.h"

#include "codec/CPngChunkFilter.h"
#include "support/QtPrinters.h"

#include <QBuffer>
#include <QDataStream>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include <sys/stat.h>

using namespace codec_test;

namespace {

// A BMP file header and info header for `width` × `height` at `bits` per pixel with `colors`
// palette entries (all dark, none white), followed by `pixelBytes` bytes of value 1 (dark pixels,
// palette index 1).
QByteArray BmpHeader(int width, int height, int bits, int colors, int pixelBytes)
{
    QByteArray file(54 + colors * 4 + pixelBytes, char(1));
    const auto put = [&file](int at, quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file[at + i] = char(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, quint32(file.size()), 4);
    put(6, 0, 4);
    put(10, quint32(54 + colors * 4), 4);
    put(14, 40, 4);
    put(18, quint32(width), 4);
    put(22, quint32(height), 4);
    put(26, 1, 2);
    put(28, quint32(bits), 2);
    put(30, 0, 4);
    put(34, 0, 4);
    put(38, 2835, 4);
    put(42, 2835, 4);
    put(46, quint32(colors), 4);
    put(50, 0, 4);
    for (int i = 0; i < colors; ++i)
        put(54 + i * 4, 0x00102030u + quint32(i % 64), 4);
    return file;
}

struct TruncatedBmp
{
    const char* name;
    int bits;
    int colors;
};

void PrintTo(const TruncatedBmp& c, std::ostream* os)
{
    *os << c.name;
}

class CodecTruncatedBmp : public testing::TestWithParam<TruncatedBmp>
{
protected:
    QTemporaryDir dir;
};

// A BMP whose pixel data ends early shows what the file holds, and white for the rest, never
// memory left over from pictures decoded before.
TEST_P(CodecTruncatedBmp, ShowsTheCoveredRowsAndWhiteForTheRest)
{
    const int w = 1000, h = 1000;
    const int rowBytes = (w * GetParam().bits + 31) / 32 * 4;
    const QString path = dir.filePath(QStringLiteral("short.bmp"));
    ASSERT_TRUE(WriteBytes(path, BmpHeader(w, h, GetParam().bits, GetParam().colors, 2 * rowBytes)));
    QImage expected(w, h, QImage::Format_RGB32);
    expected.fill(Qt::white);
    const QImage covered = Opened(path, CCodecImage::Bmp);
    ASSERT_FALSE(covered.isNull());
    for (int y = h - 2; y < h; ++y) // bottom-up: the file's two whole rows are the last two
        for (int x = 0; x < w; ++x)
            expected.setPixel(x, y, covered.pixel(x, y));
    EXPECT_NE(covered.pixel(0, h - 1), qRgb(255, 255, 255)) << "the covered rows show the file's pixels";

    const QString before = dir.filePath(QStringLiteral("before.png"));
    for (const quint32 seed : {1u, 2u}) {
        ASSERT_TRUE(Noise(w, h, seed).save(before, "PNG"));
        ASSERT_FALSE(Opened(before, CCodecImage::Png).isNull()); // leaves its pixels in freed memory
        EXPECT_EQ(Opened(path, CCodecImage::Bmp), expected) << "after picture " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, CodecTruncatedBmp,
                         testing::Values(TruncatedBmp{"Bits32", 32, 0}, TruncatedBmp{"Bits24", 24, 0},
                                         TruncatedBmp{"Bits8FewColours", 8, 4},
                                         TruncatedBmp{"Bits8FullPalette", 8, 256}, TruncatedBmp{"Bits1", 1, 2}),
                         [](const testing::TestParamInfo<TruncatedBmp>& info) { return info.param.name; });

class CodecHostileFile : public testing::Test
{
protected:
    QString Write(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(WriteBytes(path, bytes));
        return path;
    }
    // A small real file of `format`, as the codec writes it.
    QByteArray Small(int format)
    {
        const QString path = dir.filePath(QStringLiteral("small.") + FormatSuffix(format));
        EXPECT_TRUE(Holding(PhotoLike(16, 16)).Save(path, format));
        return ReadBytes(path);
    }
    QTemporaryDir dir;
};

// Where a JPEG's frame header gives its height and width.
void SetJpegSize(QByteArray& jpeg, quint16 width, quint16 height)
{
    const qsizetype sof = jpeg.indexOf("\xFF\xC0", 2);
    ASSERT_GT(sof, 0);
    qToBigEndian(height, jpeg.data() + sof + 5);
    qToBigEndian(width, jpeg.data() + sof + 7);
}

// Tiny files claiming 256 megapixels are refused within a second, before any pixel memory, for
// the size they claim; a short file of a sensible size still opens.
TEST_F(CodecHostileFile, HeadersClaimingFarMoreThanTheFileHoldsAreRefusedAtOnce)
{
    QByteArray gif = Small(CCodecImage::Gif);
    qToLittleEndian(quint16(16000), gif.data() + 6); // the logical screen
    qToLittleEndian(quint16(16000), gif.data() + 8);
    QByteArray jpeg = Small(CCodecImage::Jpeg);
    SetJpegSize(jpeg, 16000, 16000);
    const struct
    {
        const char* name;
        QByteArray bytes;
        int format;
    } bombs[] = {
        {"screen.gif", gif, CCodecImage::Gif},
        {"frame.jpg", jpeg, CCodecImage::Jpeg},
        {"header.bmp", BmpHeader(16000, 16000, 32, 0, 16), CCodecImage::Bmp},
        {"wide.bmp", BmpHeader(2097279, 64, 24, 0, 335), CCodecImage::Bmp},
    };
    for (const auto& bomb : bombs) {
        const QString path = Write(bomb.name, bomb.bytes);
        QElapsedTimer timer;
        timer.start();
        CCodecImage codec;
        codec.Load(path, bomb.format);
        EXPECT_FALSE(codec.IsValid()) << bomb.name;
        EXPECT_EQ(codec.FailureCause(), CCodecImage::TooLargeText()) << bomb.name;
        EXPECT_LT(timer.elapsed(), 1000) << bomb.name;
    }
    CCodecImage codec;
    codec.Load(Write("short.bmp", BmpHeader(1000, 1000, 32, 0, 16)), CCodecImage::Bmp);
    EXPECT_TRUE(codec.IsValid()) << "a million pixels from a 70-byte file: a header with a short file";
}

// A PNG chunk whose header claims `claimed` bytes (its payload's size unless given); the CRC is
// left zero, as nothing here reads it.
QByteArray Chunk(const char* type, const QByteArray& payload, qint64 claimed = -1)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian(quint32(claimed < 0 ? payload.size() : claimed), out.data());
    return out + type + payload + QByteArray(4, '\0');
}

// Text and profile chunks never reach the decoder; one that claims a gigabyte ends the file.
TEST_F(CodecHostileFile, PngMetadataIsNotTheDecodersToAllocate)
{
    const QByteArray small = Small(CCodecImage::Png);
    const qsizetype afterHeader = 8 + 25; // signature, IHDR
    const QByteArray text = Chunk("tEXt", QByteArray("Comment\0hello", 13));
    const QByteArray profile = Chunk("iCCP", QByteArray("name\0\0", 6) + qCompress(QByteArray(5000, 'p')));
    QByteArray withMetadata = small;
    withMetadata.insert(afterHeader, text + profile);
    QByteArray claiming = small;
    claiming.insert(afterHeader, Chunk("tEXt", "Comment", 0x40000000u));

    QBuffer source(&withMetadata);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    CPngChunkFilter filter(source);
    ASSERT_TRUE(filter.open(QIODevice::ReadOnly));
    EXPECT_EQ(filter.readAll(), small) << "the file as it was before the metadata went in";

    EXPECT_EQ(Opened(Write("metadata.png", withMetadata), CCodecImage::Png),
              Opened(Write("plain.png", small), CCodecImage::Png));
    QElapsedTimer timer;
    timer.start();
    CCodecImage codec;
    codec.Load(Write("claiming.png", claiming), CCodecImage::Png);
    EXPECT_FALSE(codec.IsValid());
    EXPECT_EQ(codec.FailureCause(), CCodecImage::IncompleteText());
    EXPECT_LT(timer.elapsed(), 1000);
}

// The path is opened once and what was opened is decoded: a FIFO swapped in at any moment is
// refused at once instead of blocking the open for ever.
TEST_F(CodecHostileFile, APathSwappedForAFifoNeverHangsTheDecoder)
{
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    const QString parked = dir.filePath(QStringLiteral("parked.png"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_TRUE(Holding(PhotoLike(20, 10)).Save(path, CCodecImage::Png));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        const QByteArray p = QFile::encodeName(path), k = QFile::encodeName(parked), f = QFile::encodeName(fifo);
        while (!done) {
            std::rename(p.constData(), k.constData());
            std::rename(f.constData(), p.constData());
            std::rename(p.constData(), f.constData());
            std::rename(k.constData(), p.constData());
        }
    });
    int opened = 0;
    for (int i = 0; i < 400; ++i) {
        CCodecImage codec;
        codec.Load(path, CCodecImage::Png);
        if (codec.IsValid()) {
            ++opened;
            EXPECT_EQ(codec.Image().size(), QSize(20, 10));
        }
    }
    done = true;
    swapper.join();
    EXPECT_GT(opened, 0);
}

} // namespace
