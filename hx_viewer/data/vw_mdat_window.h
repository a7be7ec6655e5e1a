#pragma once

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// The sample data of a file being repaired, read once from front to back.
// The walk asks for bytes at or after the end of what it has accepted; the
// window reads ahead in large blocks, and writes what the walk accepted to
// the copy before it lets go of those bytes. So the file is read in one pass
// and the copy written as it goes.
class VwMdatWindow
{
public:
    VwMdatWindow(QIODevice *input, qint64 begin, qint64 end, QIODevice *output);

    // `size` bytes at `offset`, or null when they do not lie inside the data
    // or cannot be read. Valid until the next call.
    const uchar *bytes(qint64 offset, qint64 size);
    // The walk accepted everything before `offset`; false when those bytes
    // cannot be read.
    bool accept(qint64 offset);
    // Writes what was accepted and not yet written; false on a write error.
    bool flush();

    qint64 bytesRead() const { return m_bytesRead; }
    // Where the data ends: earlier than asked when the file reads short.
    qint64 end() const { return m_end; }
    bool failed() const { return m_failed; }
    // The failure was in writing the copy rather than in reading the file.
    bool writeFailed() const { return m_writeFailed; }

    static constexpr qint64 kBlockSize = 4 * 1024 * 1024;

private:
    bool fill(qint64 upTo);

    QIODevice *m_input;
    QIODevice *m_output;
    qint64 m_end;
    QByteArray m_buffer;
    // File offset of the first byte of the buffer.
    qint64 m_bufferStart;
    qint64 m_accepted;
    qint64 m_written;
    qint64 m_bytesRead = 0;
    bool m_failed = false;
    bool m_writeFailed = false;
};
