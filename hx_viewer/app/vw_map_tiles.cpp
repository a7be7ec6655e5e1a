#include "vw_map_tiles.h"

#include "hx_app_log.h"
#include "vw_settings.h"

namespace {
bool isUsableTemplate(const QString &url)
{
    if (!url.contains(QLatin1String("{z}")) || !url.contains(QLatin1String("{x}"))
        || !url.contains(QLatin1String("{y}")))
        return false;
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (scheme == QLatin1String("file"))
        return parsed.isValid();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && parsed.isValid()
        && !parsed.host().isEmpty();
}
} // namespace

const QString &VwMapTiles::defaultUrl()
{
    static const QString url = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    return url;
}

const QString &VwMapTiles::defaultAttribution()
{
    static const QString attribution = QStringLiteral("© OpenStreetMap contributors");
    return attribution;
}

VwMapTiles VwMapTiles::resolve(const QString &url, const QString &attribution)
{
    VwMapTiles tiles;
    const QString trimmed = url.trimmed();
    if (trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return tiles;
    tiles.url = defaultUrl();
    tiles.attribution = defaultAttribution();
    if (trimmed.isEmpty())
        return tiles;
    if (!isUsableTemplate(trimmed)) {
        qCWarning(lcHxApp) << "VwMapTiles::resolve unusable TILE_URL" << trimmed
                           << "- the map uses" << defaultUrl();
        return tiles;
    }
    tiles.url = trimmed;
    if (!attribution.trimmed().isEmpty())
        tiles.attribution = attribution.trimmed();
    return tiles;
}

VwMapTiles VwMapTiles::fromSettings()
{
    VwSettings *settings = VwSettings::instance();
    return resolve(settings->mapTileUrl(), settings->mapTileAttribution());
}

QUrl VwMapTiles::server() const
{
    if (url.isEmpty())
        return QUrl();
    const QUrl parsed(url);
    QUrl server;
    server.setScheme(parsed.scheme().toLower());
    server.setHost(parsed.host());
    server.setPort(parsed.port());
    return server;
}
