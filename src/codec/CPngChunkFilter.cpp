#include "codec/CPngChunkFilter.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

constexpr int SignatureBytes = 8;
constexpr int HeaderBytes = 8; // length and type
constexpr qint64 CrcBytes = 4;
constexpr quint32 MaxLength = 0x7FFFFFFFu; // the largest a PNG chunk may declare

bool Dropped(const char* type)
{
    static constexpr std::array<const char*, 4> metadata = {"tEXt", "zTXt", "iTXt", "iCCP"};
    return std::any_of(metadata.begin(), metadata.end(),
                       [type](const char* name) { return std::equal(name, name + 4, type); });
}

} // namespace

CPngChunkFilter::CPngChunkFilter(QIODevice& png) : source(png) {}

qint64 CPngChunkFilter::writeData(const char* /*data*/, qint64 /*maxSize*/)
{
    return -1;
}

qint64 CPngChunkFilter::readData(char* data, qint64 maxSize)
{
    qint64 done = 0;
    while (done < maxSize) {
        if (headerAt < header.size()) {
            const qint64 n = std::min<qint64>(maxSize - done, header.size() - headerAt);
            std::copy_n(header.constData() + headerAt, n, data + done);
            headerAt += n;
            done += n;
        } else if (passing > 0) {
            const qint64 n = source.read(data + done, std::min(maxSize - done, passing));
            if (n <= 0) {
                ended = true;
                passing = 0;
                break;
            }
            passing -= n;
            done += n;
        } else if (!NextChunk()) {
            break;
        }
    }
    return done == 0 && ended ? -1 : done;
}

bool CPngChunkFilter::NextChunk()
{
    header.clear();
    headerAt = 0;
    if (ended)
        return false;
    if (!started) {
        started = true;
        header = source.read(SignatureBytes);
        ended = header.size() < SignatureBytes;
        return !header.isEmpty();
    }
    for (;;) {
        const QByteArray next = source.read(HeaderBytes);
        if (next.size() < HeaderBytes) {
            ended = true;
            return false;
        }
        const quint32 length = qFromBigEndian<quint32>(next.constData());
        const qint64 body = qint64(length) + CrcBytes;
        const bool beyond = length > MaxLength || (!source.isSequential() && body > source.bytesAvailable());
        if (beyond) {
            ended = true; // a truncated or hostile file: the decoder sees the stream end here
            return false;
        }
        if (Dropped(next.constData() + 4)) {
            if (!Skip(body)) {
                ended = true;
                return false;
            }
            continue;
        }
        header = next;
        passing = body;
        return true;
    }
}

bool CPngChunkFilter::Skip(qint64 bytes)
{
    if (!source.isSequential())
        return source.seek(source.pos() + bytes);
    std::array<char, 4096> scratch{};
    while (bytes > 0) {
        const qint64 n = source.read(scratch.data(), std::min<qint64>(bytes, qint64(scratch.size())));
        if (n <= 0)
            return false;
        bytes -= n;
    }
    return true;
}
