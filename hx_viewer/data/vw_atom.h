#pragma once

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <initializer_list>

// One atom found in a buffer of bytes taken from a movie file. Every atom
// found lies wholly inside the range it was searched in, so its payload can
// be read without further checks of its size.
struct VwAtom
{
    quint32 type = 0;
    int offset = -1;
    int header = 0;
    int size = 0;

    bool isValid() const { return offset >= 0; }
    int payload() const { return offset + header; }
    int end() const { return offset + size; }
    int payloadSize() const { return size - header; }

    // The atoms that fill [begin, end) of the buffer, up to the first one
    // that does not fit.
    static QList<VwAtom> list(const QByteArray &bytes, int begin, int end);
    // The first child of `type`; `skip` bytes of the parent's payload come
    // before its children (fields of a full atom, for example).
    static VwAtom child(const QByteArray &bytes, const VwAtom &parent, quint32 type, int skip = 0);
    // Follows a path of child types from the parent.
    static VwAtom path(const QByteArray &bytes, const VwAtom &parent,
                       std::initializer_list<quint32> types);
    // The whole buffer as the parent of its top-level atoms.
    static VwAtom whole(const QByteArray &bytes);

    static constexpr quint32 code(const char (&name)[5])
    {
        return (quint32(quint8(name[0])) << 24) | (quint32(quint8(name[1])) << 16)
            | (quint32(quint8(name[2])) << 8) | quint32(quint8(name[3]));
    }
};

// Big-endian reads from a buffer; 0 when the field does not lie inside it.
inline quint32 vwReadU32(const QByteArray &bytes, int at)
{
    if (at < 0 || at > bytes.size() - 4)
        return 0;
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

inline quint16 vwReadU16(const QByteArray &bytes, int at)
{
    if (at < 0 || at > bytes.size() - 2)
        return 0;
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

inline quint64 vwReadU64(const QByteArray &bytes, int at)
{
    if (at < 0 || at > bytes.size() - 8)
        return 0;
    return qFromBigEndian<quint64>(bytes.constData() + at);
}
