#include "vw_mdat_window.h"

#include "hx_data_log.h"

#include <QIODevice>

VwMdatWindow::VwMdatWindow(QIODevice *input, qint64 begin, qint64 end, QIODevice *output)
    : m_input(input)
    , m_output(output)
    , m_end(end)
    , m_bufferStart(begin)
    , m_accepted(begin)
    , m_written(begin)
{
}

const uchar *VwMdatWindow::bytes(qint64 offset, qint64 size)
{
    if (m_failed || size < 0 || offset < m_accepted || offset > m_end || size > m_end - offset)
        return nullptr;
    if (offset + size > m_bufferStart + m_buffer.size()) {
        // What the walk accepted is written out and dropped first, so that
        // the buffer holds no more than the sample being looked at.
        if (!flush())
            return nullptr;
        m_buffer.remove(0, int(m_accepted - m_bufferStart));
        m_bufferStart = m_accepted;
        if (!fill(qMax(offset + size, m_bufferStart + m_buffer.size() + kBlockSize)))
            return nullptr;
        if (offset + size > m_bufferStart + m_buffer.size())
            return nullptr;
    }
    return reinterpret_cast<const uchar *>(m_buffer.constData()) + (offset - m_bufferStart);
}

bool VwMdatWindow::fill(qint64 upTo)
{
    const qint64 readFrom = m_bufferStart + m_buffer.size();
    const qint64 wanted = qMin(upTo, m_end) - readFrom;
    if (wanted <= 0)
        return true;
    const int before = m_buffer.size();
    if (qint64(before) + wanted > qint64(INT_MAX) - 1 || !m_input->seek(readFrom)) {
        m_failed = true;
        return false;
    }
    m_buffer.resize(before + int(wanted));
    const qint64 got = qMax<qint64>(0, m_input->read(m_buffer.data() + before, wanted));
    m_bytesRead += got;
    if (got != wanted) {
        // The file is shorter than it said (or unreadable from here on): the
        // data ends where the reads do.
        qCWarning(lcHxData) << "VwMdatWindow::fill" << "read" << got << "of" << wanted
                            << "bytes at" << readFrom << m_input->errorString();
        m_buffer.resize(before + int(got));
        m_end = readFrom + got;
    }
    return true;
}

bool VwMdatWindow::accept(qint64 offset)
{
    if (m_failed || offset < m_accepted || offset > m_end)
        return false;
    if (offset > m_bufferStart + m_buffer.size()
        && (!fill(offset) || offset > m_bufferStart + m_buffer.size()))
        return false;
    m_accepted = offset;
    return true;
}

bool VwMdatWindow::flush()
{
    if (m_failed)
        return false;
    const qint64 size = m_accepted - m_written;
    if (size <= 0)
        return true;
    const char *data = m_buffer.constData() + (m_written - m_bufferStart);
    if (m_output->write(data, size) != size) {
        qCWarning(lcHxData) << "VwMdatWindow::flush" << m_output->errorString();
        m_failed = true;
        m_writeFailed = true;
        return false;
    }
    m_written = m_accepted;
    return true;
}
