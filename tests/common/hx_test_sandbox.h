#pragma once

#include <QString>
#include <QTemporaryDir>

// Points HOME and the XDG folders at a fresh temporary folder for the life of
// the object, so that Documents, the settings file and the desktop location
// never resolve to the real user's folders. Create it before the application
// object when the application itself must see the sandbox.
class HxTestSandbox
{
public:
    HxTestSandbox();
    ~HxTestSandbox();

    HxTestSandbox(const HxTestSandbox &) = delete;
    HxTestSandbox &operator=(const HxTestSandbox &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString home() const { return m_dir.path(); }
    QString documents() const;
    QString desktop() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_savedHome;
    QByteArray m_savedConfig;
};

// Path of a program built under tools/ (for example "make_card/make_card"),
// or empty when the tests were not started by ctest.
QString hxToolPath(const QString &relative);
