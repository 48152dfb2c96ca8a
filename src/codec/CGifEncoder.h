#pragma once

#include <QByteArray>
#include <QImage>

// Writes a palette image as a GIF89a file in memory with giflib: one image, the image's own
// palette as the global colour map, no transparency.
class CGifEncoder
{
public:
    // `indexed` must be QImage::Format_Indexed8; its palette's alpha is ignored. False when the
    // image cannot be written (wrong format, larger than GIF allows, out of memory).
    static bool Encode(const QImage& indexed, QByteArray& out);

private:
    // Number of colour map entries: a power of two (giflib requires it) covering every index used.
    static int MapSize(const QImage& indexed);
    static bool WriteImage(const QImage& indexed, void* gif);
};
