#pragma once

#include <QImage>
#include <QString>

// A deterministic colourful RGB32 picture: smooth gradients with some texture, so that every
// format's encoder has something real to do.
QImage MakePhotoLike(int width, int height, unsigned seed = 1);

// Writes `image` with Qt's own writer (independent of the code under test); returns the path.
QString WriteWithQt(const QImage& image, const QString& path, const char* format);

// Mean absolute difference per channel of two RGB32 images of the same size.
double MeanChannelError(const QImage& a, const QImage& b);
