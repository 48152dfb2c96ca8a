#pragma once

#include <QImage>
#include <QString>

#include <memory>

class ImageState;

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

    // Largest decoded image accepted, in MiB of decoded pixels: a 100-megapixel photo fits.
    static constexpr int AllocationLimitMiB = 1024;

    CCodecImage() = default; // empty

    // Decodes `path` with the decoder that `format` names, whatever the file's content or name;
    // EXIF orientation applied. Success is judged by IsValid().
    void Load(const QString& path, int format);
    bool IsValid() const { return !image.isNull(); }
    int GetWidth() const { return image.width(); }
    int GetHeight() const { return image.height(); }

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
    bool Save(const QString& path, int format) const;

    void Destroy() { image = {}; }

    // The held picture (for tests and callers that need the pixels).
    const QImage& Image() const { return image; }

private:
    // The held picture as the JPEG and GIF encoders take it.
    QImage JpegPicture() const;
    QImage GifPicture() const;

    QImage image;
    int jpegQuality = 75;
};
