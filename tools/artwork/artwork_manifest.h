#pragma once

#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// The artwork manifest: the colours of each button state and the list of
// images with the vector source each is drawn from.
//
//   palette <state> key=value...        colours of a state (substituted as @key@)
//   <kind> <name> <WxH> <source> [key=value | key="value with spaces"]...
//
// Kinds: "button" gives <name> and <name>_1 (hover), _2 (pressed), _3
// (disabled); "checkable" adds <name>_checked and _checked_1, _2, _3;
// "single" and "image" give <name> alone, drawn with the palette of
// state=<state> (normal when not given). Options: plate=<svg> is drawn
// under the source over the whole image, glyph=<N> or glyph=<WxH> is the
// box the source is drawn into, centred (default: the whole image),
// checked=<svg> is the source of the checked states; any other key is
// substituted as @key@ into the sources.
class ArtworkManifest
{
public:
    struct Entry
    {
        QString kind;
        QString name;
        QSize size;
        QString source;
        QHash<QString, QString> options;
        int line = 0;
    };

    bool load(const QString &path);
    QString errorString() const { return m_error; }

    QHash<QString, QString> palette(const QString &state) const { return m_palettes.value(state); }
    bool hasPalette(const QString &state) const { return m_palettes.contains(state); }
    QList<Entry> entries() const { return m_entries; }

private:
    bool fail(int line, const QString &message);

    QHash<QString, QHash<QString, QString>> m_palettes;
    QList<Entry> m_entries;
    QString m_error;
};
