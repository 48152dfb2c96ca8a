#pragma once

#include <QBuffer>

// A QBuffer whose writes report running out of memory as a failed write: encoders call it from
// C libraries (libpng, libjpeg), through which an exception must not travel.
class CMemoryDevice : public QBuffer
{
public:
    using QBuffer::QBuffer;

protected:
    qint64 writeData(const char* data, qint64 length) override;
};
