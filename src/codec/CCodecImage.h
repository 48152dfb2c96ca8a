#pragma once

#include "codec/CAtomicFileWriter.h"
#include "codec/CPngChunkFilter.h"
#include "codec/RowReader.h"
#include "tiles/ImageState.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

#include <QImageReader>

class QFile;

// The image codec: decodes and encodes BMP, GIF, JPEG and PNG by format number. One object lives
// for one document operation. Failures are results, never exceptions.
class CCodecImage
{
public:
    enum Format
    {
        Bmp = 1,
        Gif = 2,
        Jpeg = 3,
        Png = 4,
    };

    // Largest decoded image accepted, in MiB of decoded pixels: the largest picture a history
    // state holds.
    static constexpr int AllocationLimitMiB = ImageState::PictureLimitMiB;

    CCodecImage() = default; // empty

    // Decodes `path` with the decoder that `format` names, whatever the file's content or name;
    // EXIF orientation applied. Success is judged by IsValid().
    void Load(const QString& path, int format);
    bool IsValid() const { return !image.isNull() || decoded; }
    // Why the last Load or Save failed, for messages that name the cause: the system's error text,
    // TooLargeText() or IncompleteText(); empty after a success.
    QString FailureCause() const { return cause; }
    static QString TooLargeText() { return QStringLiteral("图片太大"); }
    static QString IncompleteText() { return QStringLiteral("文件不完整"); }

    // The decoded picture composited onto white, as a new history state; null when memory is
    // exhausted or nothing is held.
    std::unique_ptr<ImageState> DrawToState() const;
    // Takes the pixels of a history state.
    void CreateFromState(const ImageState& state);

    // True when every pixel is grey (red = green = blue).
    bool IsGrayScale() const;
    // Raises the held image to 24 bits per pixel (colour).
    void IncreaseBpp(int bits);
    // Reduces the held image to 8 bits per pixel with its own palette; `errorDiffusion` dithers
    // with Floyd-Steinberg.
    void DecreaseBpp(int bits, bool errorDiffusion);
    void SetJpegQuality(int quality) { jpegQuality = quality; }

    // Encodes the held image into memory, then writes it atomically: on any failure the file that
    // was at `path` is left as it was. True only when the whole file is on disk.
    bool Save(const QString& path, int format, CAtomicFileWriter::Mode mode = CAtomicFileWriter::Mode::Replace) const;

    // The held picture (for tests and callers that need the pixels).
    const QImage& Image() const { return Held(); }

private:
    // Opens a regular file for reading (errno says why not).
    static bool OpenRegularFile(const QString& path, QFile& file);
    // The size the decoder will allocate for, as the file's header says.
    static QSize ClaimedSize(QImageReader& reader, QFile& file, int format);
    // Whether a picture of `size`, as a file's header claims it, may be decoded: within the
    // allocation limit, and no more pixels than `fileBytes` of the format can encode.
    static bool Plausible(QSize size, qint64 fileBytes, int format);
    // The most memory decoding a picture of `size` into a state takes at once.
    static std::uint64_t DecodingBytes(QSize size);
    // Reads a BMP so that pixels the file leaves out (a short file, skipped runs) are white, never
    // memory the file did not describe.
    static QImage ReadCovered(QImageReader& reader, QFile& file);
    // `first` as RGB32, white where it and `second`, read with other fillings, differ.
    static QImage WhereCovered(const QImage& first, const QImage& second);

    // Qt's reader of a format over a file, a PNG seen through the chunk filter.
    struct QtReader
    {
        QtReader(QFile& file, int format);
        CPngChunkFilter filtered;
        QImageReader reader;
    };
    // Decodes a JPEG or PNG straight into a state; false when the file is for Qt's reader instead.
    bool DecodeStraight(QFile& file, int format);
    // The held picture as one image; a picture decoded into a state becomes one here.
    const QImage& Held() const;

    // Whether our own encoders take the held picture: a state, or an image without palette or alpha.
    bool EncodesDirectly() const;
    // Whether the held picture is written with one channel.
    bool HeldIsGray() const;
    RowReader HeldRows() const;
    QSize HeldSize() const;
    static QSize DotsPerMeter();
    // Encode the held picture into `data`.
    bool EncodePng(QByteArray& data) const;
    bool EncodeJpeg(QByteArray& data) const;

    // The held picture as the JPEG and GIF encoders take it.
    QImage JpegPicture() const;
    QImage GifPicture() const;

    // A picture is held either as an image or, decoded straight into tiles, as a state.
    mutable QImage image;
    mutable std::unique_ptr<ImageState> decoded;
    bool raised = false; // raised to 24 bits while held as a state
    int jpegQuality = 75;
    mutable QString cause;
};
