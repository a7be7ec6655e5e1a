#include "vw_mov_damage.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

quint32 fourcc(const char (&code)[5])
{
    return qFromBigEndian<quint32>(code);
}

// Atom types that a movie file can begin with.
bool isTopLevelType(quint32 type)
{
    for (quint32 known : {fourcc("ftyp"), fourcc("wide"), fourcc("free"), fourcc("skip"),
                          fourcc("mdat"), fourcc("moov")}) {
        if (type == known)
            return true;
    }
    return false;
}

bool isPrintableType(quint32 type)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const quint8 c = quint8(type >> shift);
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

// The headers of the usual layout (ftyp, free, mdat) lie in the first few
// dozen bytes: one read covers them.
constexpr qint64 kFirstRead = 256;

} // namespace

VwMovDamage::Layout VwMovDamage::inspect(qint64 fileSize, const Reader &read, bool stopAtData)
{
    Layout layout;
    layout.fileSize = fileSize;

    uchar first[kFirstRead];
    const qint64 firstSize = qMin(kFirstRead, fileSize);
    if (firstSize < 8 || !read(0, first, firstSize))
        return layout;
    const auto header = [&](qint64 offset, uchar *bytes, qint64 size) {
        if (offset + size <= firstSize) {
            std::memcpy(bytes, first + offset, size_t(size));
            return true;
        }
        return read(offset, bytes, size);
    };

    qint64 off = 0;
    while (fileSize - off >= 8) {
        uchar bytes[16];
        if (!header(off, bytes, 8))
            break;
        const quint32 size32 = qFromBigEndian<quint32>(bytes);
        const quint32 type = qFromBigEndian<quint32>(bytes + 4);
        if ((off == 0 && !isTopLevelType(type)) || !isPrintableType(type))
            break;
        qint64 headerSize = 8;
        quint64 size = size32;
        bool toEnd = false;
        if (size32 == 1) {
            if (fileSize - off < 16 || !header(off + 8, bytes + 8, 8))
                break;
            size = qFromBigEndian<quint64>(bytes + 8);
            headerSize = 16;
        } else if (size32 == 0) {
            // Legal for the last atom, and what a writer leaves in an mdat
            // it has not closed.
            toEnd = true;
            size = quint64(fileSize - off);
        }
        if (size < quint64(headerSize))
            break;
        const bool fits = size <= quint64(fileSize - off);

        if (type == fourcc("ftyp") && layout.ftypOffset < 0 && fits) {
            layout.ftypOffset = off;
            layout.ftypSize = qint64(size);
        } else if (type == fourcc("moov") && layout.moovOffset < 0) {
            layout.moovOffset = off;
            layout.moovSize = fits ? qint64(size) : fileSize - off;
            layout.moovComplete = fits;
        } else if (type == fourcc("mdat") && layout.dataOffset < 0) {
            layout.dataOffset = qMin(off + headerSize, fileSize);
            layout.dataCut = toEnd || !fits;
            layout.dataEnd = fits ? off + qint64(size) : fileSize;
            if (stopAtData)
                break;
        }
        if (!fits)
            break;
        off += qint64(size);
    }

    const bool hasData = layout.dataOffset >= 0 && layout.dataEnd > layout.dataOffset;
    if (!hasData)
        layout.state = layout.moovComplete ? STATE_HEALTHY : STATE_NOT_MOVIE;
    else if (!layout.moovComplete || layout.dataCut)
        layout.state = STATE_DAMAGED;
    else
        layout.state = STATE_HEALTHY;
    return layout;
}

VwMovDamage::Layout VwMovDamage::inspect(QIODevice *device)
{
    if (!device || !device->isOpen() || device->isSequential())
        return {};
    return inspect(device->size(), [device](qint64 offset, void *buffer, qint64 size) {
        return device->seek(offset) && device->read(static_cast<char *>(buffer), size) == size;
    });
}

VwMovDamage::Layout VwMovDamage::inspect(FILE *file, bool stopAtData)
{
    if (!file)
        return {};
    // Straight to the descriptor when there is one, as the telemetry reader
    // does: a seek through stdio costs a system call of its own.
    const int fd = fileno(file);
    struct stat status;
    if (fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        return inspect(status.st_size, [fd](qint64 offset, void *buffer, qint64 size) {
            return pread(fd, buffer, size_t(size), off_t(offset)) == ssize_t(size);
        }, stopAtData);
    }
    if (fseeko(file, 0, SEEK_END) != 0)
        return {};
    const qint64 fileSize = qMax<qint64>(0, ftello(file));
    return inspect(fileSize, [file](qint64 offset, void *buffer, qint64 size) {
        return fseeko(file, offset, SEEK_SET) == 0
            && std::fread(buffer, 1, size_t(size), file) == size_t(size);
    }, stopAtData);
}

bool VwMovDamage::isDamaged(FILE *file, bool indexFound)
{
    const Layout layout = inspect(file, indexFound);
    return indexFound ? layout.dataCut && layout.dataEnd > layout.dataOffset
                      : layout.state == STATE_DAMAGED;
}
