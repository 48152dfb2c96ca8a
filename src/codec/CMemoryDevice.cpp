#include "codec/CMemoryDevice.h"

#include <new>

qint64 CMemoryDevice::writeData(const char* data, qint64 length)
{
    try {
        return QBuffer::writeData(data, length);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}
