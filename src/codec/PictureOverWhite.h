#pragma once

#include <QImage>

// `picture` painted onto white, as RGB32, as a format without transparency shows it; a picture
// without alpha is only converted (an RGB32 one shares its pixels). Null when memory is exhausted.
QImage OntoWhite(const QImage& picture);
