// Renders every image of the manifest, with its state variants, to PNG files
// and writes a resource collection file that lists them (and any extra files
// copied along, such as fonts) for rcc.
//
//   artwork <manifest> <source dir> <output dir> <qrc file> [alias=path]...

#include "artwork_manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextStream>

#include <cstdio>

namespace {

struct Variant
{
    QString suffix;
    QString state;
    bool checked = false;
};

QList<Variant> variantsOf(const ArtworkManifest::Entry &entry)
{
    if (entry.kind == QLatin1String("single") || entry.kind == QLatin1String("image"))
        return {{QString(), entry.options.value(QStringLiteral("state"), QStringLiteral("normal"))}};
    QList<Variant> variants = {{QString(), QStringLiteral("normal")},
                               {QStringLiteral("_1"), QStringLiteral("hover")},
                               {QStringLiteral("_2"), QStringLiteral("pressed")},
                               {QStringLiteral("_3"), QStringLiteral("disabled")}};
    if (entry.kind == QLatin1String("checkable")) {
        variants += {{QStringLiteral("_checked"), QStringLiteral("checked"), true},
                     {QStringLiteral("_checked_1"), QStringLiteral("checked_hover"), true},
                     {QStringLiteral("_checked_2"), QStringLiteral("checked_pressed"), true},
                     {QStringLiteral("_checked_3"), QStringLiteral("checked_disabled"), true}};
    }
    return variants;
}

bool loadSvg(const QString &path, const QHash<QString, QString> &values, QSvgRenderer *renderer,
             QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QString text = QString::fromUtf8(file.readAll());
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        text.replace(QLatin1Char('@') + it.key() + QLatin1Char('@'), it.value());
    static const QRegularExpression unresolved(QStringLiteral("@(\\w+)@"));
    const QRegularExpressionMatch left = unresolved.match(text);
    if (left.hasMatch()) {
        *error = path + QStringLiteral(": no value for @%1@").arg(left.captured(1));
        return false;
    }
    if (!renderer->load(text.toUtf8())) {
        *error = path + QStringLiteral(": not a valid SVG document");
        return false;
    }
    return true;
}

QRectF glyphRect(const ArtworkManifest::Entry &entry)
{
    const QString glyph = entry.options.value(QStringLiteral("glyph"));
    QSizeF box = entry.size;
    if (!glyph.isEmpty()) {
        const QStringList parts = glyph.split(QLatin1Char('x'));
        box = parts.size() == 2 ? QSizeF(parts.at(0).toDouble(), parts.at(1).toDouble())
                                : QSizeF(glyph.toDouble(), glyph.toDouble());
    }
    return QRectF((entry.size.width() - box.width()) / 2.0,
                  (entry.size.height() - box.height()) / 2.0, box.width(), box.height());
}

bool render(const ArtworkManifest &manifest, const ArtworkManifest::Entry &entry,
            const Variant &variant, const QDir &sourceDir, QImage *image, QString *error)
{
    if (!manifest.hasPalette(variant.state)) {
        *error = QStringLiteral("no palette for state %1").arg(variant.state);
        return false;
    }
    QHash<QString, QString> values = manifest.palette(variant.state);
    // The geometry of the image, for sources drawn to fit any size (plates).
    const int w = entry.size.width();
    const int h = entry.size.height();
    values.insert(QStringLiteral("w"), QString::number(w));
    values.insert(QStringLiteral("h"), QString::number(h));
    values.insert(QStringLiteral("iw"), QString::number(w - 2));
    values.insert(QStringLiteral("ih"), QString::number(h - 2));
    values.insert(QStringLiteral("cx"), QString::number(w / 2.0));
    values.insert(QStringLiteral("cy"), QString::number(h / 2.0));
    values.insert(QStringLiteral("r"), QString::number(qMin(w, h) / 2.0 - 1.0));
    for (auto it = entry.options.constBegin(); it != entry.options.constEnd(); ++it)
        values.insert(it.key(), it.value());

    *image = QImage(entry.size, QImage::Format_ARGB32_Premultiplied);
    image->fill(Qt::transparent);
    QPainter painter(image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QString plate = entry.options.value(QStringLiteral("plate"));
    if (!plate.isEmpty()) {
        QSvgRenderer renderer;
        if (!loadSvg(sourceDir.filePath(plate), values, &renderer, error))
            return false;
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(entry.size)));
    }
    QString source = entry.source;
    if (variant.checked && entry.options.contains(QStringLiteral("checked")))
        source = entry.options.value(QStringLiteral("checked"));
    QSvgRenderer renderer;
    if (!loadSvg(sourceDir.filePath(source), values, &renderer, error))
        return false;
    renderer.render(&painter, glyphRect(entry));
    return true;
}

void writeQrc(QTextStream &out, const QStringList &files, const QStringList &extras)
{
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"/\">\n";
    for (const QString &file : files)
        out << "        <file>" << file << "</file>\n";
    for (const QString &extra : extras)
        out << "        <file>" << extra << "</file>\n";
    out << "    </qresource>\n</RCC>\n";
}

// Qt's own start-up chatter (runtime folders and the like) is noise in a
// build log; the tool reports its errors itself.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "artwork: %s\n", qPrintable(message));
}

int fail(const QString &message)
{
    std::fprintf(stderr, "artwork: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietMessages);
    // Text in the sources needs the font database, which needs a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 5)
        return fail(QStringLiteral("usage: artwork <manifest> <source dir> <output dir> <qrc file> "
                                   "[alias=path]..."));

    ArtworkManifest manifest;
    if (!manifest.load(args.at(1)))
        return fail(args.at(1) + QStringLiteral(": ") + manifest.errorString());
    const QDir sourceDir(args.at(2));
    const QDir outputDir(args.at(3));
    if (!outputDir.mkpath(QStringLiteral("image")))
        return fail(QStringLiteral("cannot create %1/image").arg(outputDir.path()));

    QStringList files;
    for (const ArtworkManifest::Entry &entry : manifest.entries()) {
        for (const Variant &variant : variantsOf(entry)) {
            QImage image;
            QString error;
            if (!render(manifest, entry, variant, sourceDir, &image, &error))
                return fail(QStringLiteral("%1 (manifest line %2): %3")
                                .arg(entry.name + variant.suffix)
                                .arg(entry.line)
                                .arg(error));
            const QString relative = QStringLiteral("image/%1%2.png").arg(entry.name, variant.suffix);
            if (!image.save(outputDir.filePath(relative), "PNG"))
                return fail(QStringLiteral("cannot write %1").arg(outputDir.filePath(relative)));
            files.append(relative);
        }
    }

    // Extra files are copied next to the images so that rcc finds every entry
    // of the collection relative to it.
    QStringList extras;
    for (int i = 5; i < args.size(); ++i) {
        const int equals = args.at(i).indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(QStringLiteral("expected alias=path, got %1").arg(args.at(i)));
        const QString alias = args.at(i).left(equals);
        const QString path = args.at(i).mid(equals + 1);
        const QString target = outputDir.filePath(alias);
        QDir().mkpath(QFileInfo(target).path());
        QFile::remove(target);
        if (!QFile::copy(path, target))
            return fail(QStringLiteral("cannot copy %1 to %2").arg(path, target));
        extras.append(alias);
    }

    QSaveFile qrc(args.at(4));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Text))
        return fail(QStringLiteral("cannot write %1").arg(args.at(4)));
    QTextStream out(&qrc);
    writeQrc(out, files, extras);
    out.flush();
    if (!qrc.commit())
        return fail(QStringLiteral("cannot write %1").arg(args.at(4)));
    return 0;
}
