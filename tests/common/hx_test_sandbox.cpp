#include "hx_test_sandbox.h"

#include <QDir>

HxTestSandbox::HxTestSandbox()
    : m_savedHome(qgetenv("HOME"))
    , m_savedConfig(qgetenv("XDG_CONFIG_HOME"))
{
    const QByteArray home = QFile::encodeName(m_dir.path());
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    QDir(m_dir.path()).mkpath(QStringLiteral("Documents"));
    QDir(m_dir.path()).mkpath(QStringLiteral("Desktop"));
}

HxTestSandbox::~HxTestSandbox()
{
    qputenv("HOME", m_savedHome);
    qputenv("XDG_CONFIG_HOME", m_savedConfig);
}

QString HxTestSandbox::documents() const
{
    return m_dir.path() + QStringLiteral("/Documents");
}

QString HxTestSandbox::desktop() const
{
    return m_dir.path() + QStringLiteral("/Desktop");
}

QString hxToolPath(const QString &relative)
{
    const QByteArray dir = qgetenv("HX_TOOLS_DIR");
    if (dir.isEmpty())
        return QString();
    return QFile::decodeName(dir) + QLatin1Char('/') + relative;
}
