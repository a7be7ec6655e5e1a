#include "artwork_manifest.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {

const QStringList kKinds = {QStringLiteral("button"), QStringLiteral("checkable"),
                            QStringLiteral("single"), QStringLiteral("image")};

QSize parseSize(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)x(\\d+)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QSize();
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

} // namespace

bool ArtworkManifest::fail(int line, const QString &message)
{
    m_error = QStringLiteral("line %1: %2").arg(line).arg(message);
    return false;
}

bool ArtworkManifest::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_error = file.errorString();
        return false;
    }
    static const QRegularExpression option(QStringLiteral("(\\w+)=(\"[^\"]*\"|\\S+)"));
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    int lineNumber = 0;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")));
        QHash<QString, QString> options;
        auto it = option.globalMatch(line);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            QString value = match.captured(2);
            if (value.startsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            options.insert(match.captured(1), value);
        }
        if (words.first() == QLatin1String("palette")) {
            if (words.size() < 3)
                return fail(lineNumber, QStringLiteral("palette needs a state and colours"));
            m_palettes.insert(words.at(1), options);
            continue;
        }
        if (!kKinds.contains(words.first()))
            return fail(lineNumber, QStringLiteral("unknown kind %1").arg(words.first()));
        if (words.size() < 4)
            return fail(lineNumber, QStringLiteral("expected: kind name size source"));
        Entry entry;
        entry.kind = words.at(0);
        entry.name = words.at(1);
        entry.size = parseSize(words.at(2));
        entry.source = words.at(3);
        entry.options = options;
        entry.line = lineNumber;
        if (!entry.size.isValid() || entry.size.isEmpty())
            return fail(lineNumber, QStringLiteral("bad size %1").arg(words.at(2)));
        for (const Entry &other : qAsConst(m_entries)) {
            if (other.name == entry.name)
                return fail(lineNumber, QStringLiteral("%1 is listed twice").arg(entry.name));
        }
        m_entries.append(entry);
    }
    return true;
}
