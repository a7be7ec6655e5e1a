#include "vw_atom.h"

QList<VwAtom> VwAtom::list(const QByteArray &bytes, int begin, int end)
{
    QList<VwAtom> atoms;
    end = qMin(end, bytes.size());
    int off = qMax(begin, 0);
    while (end - off >= 8) {
        VwAtom atom;
        atom.offset = off;
        atom.type = vwReadU32(bytes, off + 4);
        quint64 size = vwReadU32(bytes, off);
        atom.header = 8;
        if (size == 1) {
            if (end - off < 16)
                break;
            size = vwReadU64(bytes, off + 8);
            atom.header = 16;
        } else if (size == 0) {
            size = quint64(end - off);
        }
        if (size < quint64(atom.header) || size > quint64(end - off))
            break;
        atom.size = int(size);
        atoms.append(atom);
        off += atom.size;
    }
    return atoms;
}

VwAtom VwAtom::child(const QByteArray &bytes, const VwAtom &parent, quint32 type, int skip)
{
    if (!parent.isValid() || skip < 0 || skip > parent.payloadSize())
        return {};
    for (const VwAtom &atom : list(bytes, parent.payload() + skip, parent.end())) {
        if (atom.type == type)
            return atom;
    }
    return {};
}

VwAtom VwAtom::path(const QByteArray &bytes, const VwAtom &parent,
                    std::initializer_list<quint32> types)
{
    VwAtom atom = parent;
    for (quint32 type : types) {
        atom = child(bytes, atom, type);
        if (!atom.isValid())
            break;
    }
    return atom;
}

VwAtom VwAtom::whole(const QByteArray &bytes)
{
    VwAtom atom;
    atom.offset = 0;
    atom.header = 0;
    atom.size = bytes.size();
    return atom;
}
