#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

// The interface language and the texts of every translatable widget. Widgets
// are built with their Japanese texts; the places that build them register
// the texts of each language here, and a language change re-labels them all.
class VwLanguage : public QObject
{
    Q_OBJECT

public:
    // Plain int underneath: a stored language other than 1 or 2 is kept as it is.
    enum LANGUAGE_TYPE : int {
        LANGUAGE_JAPANESE = 1,
        LANGUAGE_ENGLISH = 2,
    };
    Q_ENUM(LANGUAGE_TYPE)

    // Combined with the language number to key a registered text: 0x201 is
    // the Japanese tooltip, 0x102 the English label text.
    enum TEXT_KIND {
        TEXT_KIND_TEXT = 0x100,
        TEXT_KIND_TOOLTIP = 0x200,
    };
    Q_ENUM(TEXT_KIND)

    // Index of the language chooser's entries.
    enum Choice {
        CHOICE_AUTO = 0,
        CHOICE_JAPANESE = 1,
        CHOICE_ENGLISH = 2,
    };

    // Needs the settings store to be open; reads LANGUAGE and LANGUAGE_AUTO.
    static VwLanguage *instance();

    void registerText(int language, int kind, QWidget *widget, const QString &text);
    void unregisterWidget(QWidget *widget);
    // Empty when nothing is registered under that language and kind.
    QString registeredText(QWidget *widget, int language, int kind) const;
    bool isRegistered(QWidget *widget) const;

    void applyLanguage();
    void setLanguage(VwLanguage::LANGUAGE_TYPE language);
    // Stores the flag and keeps it for the chooser's preselection.
    void setLanguageAuto(bool on);
    // What confirming the chooser on `choice` does: stores the auto flag and
    // switches the language when the target differs from the current one.
    void applyChoice(int choice);
    // The chooser's entry that matches the current state.
    int currentChoice() const;

    static LANGUAGE_TYPE systemLanguage();
    static LANGUAGE_TYPE languageForLocale(const QString &localeName);

    LANGUAGE_TYPE language = LANGUAGE_JAPANESE;
    bool languageAuto = false;

Q_SIGNALS:
    void languageChange(VwLanguage::LANGUAGE_TYPE language);

private:
    explicit VwLanguage(QObject *parent = nullptr);
    void forget(QObject *widget);

    QHash<QWidget *, QHash<int, QString>> m_registry;
};

// The Japanese text of a key of the language table; empty for an unknown key.
QString languageText(const char *key);
QString languageText(const QString &key);

// The Japanese or the English text, after the current language.
QString languagePick(const char *japanese, const char *english);
