#pragma once

#include <QString>
#include <QUrl>

// Where the map takes its pictures from: the tile server of the settings, or
// OpenStreetMap's when none is set.
class VwMapTiles
{
public:
    static const QString &defaultUrl();
    static const QString &defaultAttribution();

    // Absent or empty values give the defaults; "none" (any case) gives no
    // tiles at all. A URL without {z}, {x} and {y}, or with a scheme other
    // than http, https or file, cannot serve a map: it gives the defaults and
    // a warning in the log.
    static VwMapTiles resolve(const QString &url, const QString &attribution);
    static VwMapTiles fromSettings();

    // Scheme, host and port that the tile requests go to; empty without tiles.
    QUrl server() const;

    bool operator==(const VwMapTiles &other) const
    {
        return url == other.url && attribution == other.attribution;
    }
    bool operator!=(const VwMapTiles &other) const { return !(*this == other); }

    // Leaflet's URL template; empty for no tiles.
    QString url;
    QString attribution;
};
