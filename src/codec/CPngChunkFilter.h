#pragma once

#include <QByteArray>
#include <QIODevice>

// A PNG stream as the decoder should see it: the file's bytes without its text chunks and colour
// profile. Their headers may claim any length (a 941-byte file can claim a gigabyte of text, or a
// few kilobytes can inflate to one), and the decoder would allocate what they claim; the pixels do
// not depend on them. Every other chunk passes unchanged, the pixel data streamed, never held.
// A chunk that claims more than the file holds ends the stream there.
class CPngChunkFilter : public QIODevice
{
public:
    // `source` (not owned, open for reading) must outlive the filter.
    explicit CPngChunkFilter(QIODevice& source);

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    // Queues the next chunk that passes (its header, then its body and CRC from the source); false
    // at the end of the stream.
    bool NextChunk();
    // Passes over `bytes` of the source; false where it ends first.
    bool Skip(qint64 bytes);

    QIODevice& source;
    QByteArray header;      // bytes to hand out before the rest of the chunk
    qsizetype headerAt = 0; // how many of them are handed out
    qint64 passing = 0;     // bytes of the current chunk still to copy from the source
    bool started = false;   // the signature is queued
    bool ended = false;
};
