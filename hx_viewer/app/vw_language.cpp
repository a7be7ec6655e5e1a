#include "vw_language.h"

#include "hx_app_log.h"
#include "vw_settings.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLocale>
#include <QMap>
#include <QWidget>

#include <utility>

namespace {

QMap<QString, QString> &languageTable()
{
    static QMap<QString, QString> table;
    return table;
}

void buildLanguageTable(QMap<QString, QString> &table)
{
    // Inserted in this order; a key given twice keeps the later text.
    const std::pair<const char *, QString> entries[] = {
        {"backup", QStringLiteral("コピー")},
        {"brightness", QStringLiteral("明るさ")},
        {"capture", QStringLiteral("JPG 保存")},
        {"close", QStringLiteral("閉じる")},
        {"contrast", QStringLiteral("コントラスト")},
        {"flip_h", QStringLiteral("左右反転")},
        {"flip_v", QStringLiteral("上下反転")},
        {"fullscreen", QStringLiteral("フルスクリーン")},
        {"graph_zoom_in", QStringLiteral("拡大")},
        {"graph_zoom_out", QStringLiteral("縮小")},
        {"language", QStringLiteral("言語選択")},
        {"lat", QStringLiteral("緯度")},
        {"lon", QStringLiteral("経度")},
        {"map", QStringLiteral("地図")},
        {"maximize", QStringLiteral("最大化")},
        {"minimize", QStringLiteral("最小化")},
        {"ok", QStringLiteral("OK")},
        {"open", QStringLiteral("ファイルを開く")},
        {"open_message", QStringLiteral("録画ファイルがあるフォルダを選択")},
        {"play_file_next", QStringLiteral("次のファイル")},
        {"play_file_previous", QStringLiteral("前のファイル")},
        {"play_pause", QStringLiteral("一時停止")},
        {"play_play", QStringLiteral("再生")},
        {"play_speed", QStringLiteral("再生速度")},
        {"play_stop", QStringLiteral("停止")},
        {"report", QStringLiteral("レポート")},
        {"restore_window", QStringLiteral("元に戻す（縮小）")},
        {"save", QStringLiteral("保存")},
        {"swap", QStringLiteral("フロント･リア切替え")},
        {"viewer_info", QStringLiteral("ビューア情報")},
        {"viewer_sw_version", QStringLiteral("Viewer S/W バージョン情報")},
        {"volume_mute", QStringLiteral("音量")},
        {"volume_un_mute", QStringLiteral("音量")},
    };
    for (const auto &entry : entries)
        table.insert(QLatin1String(entry.first), entry.second);
}

} // namespace

VwLanguage::VwLanguage(QObject *parent)
    : QObject(parent)
{
    // Queued connections and signal spies look the signal's argument up by name.
    qRegisterMetaType<VwLanguage::LANGUAGE_TYPE>("VwLanguage::LANGUAGE_TYPE");
    VwSettings *settings = VwSettings::instance();
    languageAuto = settings->languageAuto();
    language = static_cast<LANGUAGE_TYPE>(settings->language());
}

VwLanguage *VwLanguage::instance()
{
    static VwLanguage *language = new VwLanguage;
    return language;
}

void VwLanguage::registerText(int language, int kind, QWidget *widget, const QString &text)
{
    if (!widget)
        return;
    auto found = m_registry.find(widget);
    if (found == m_registry.end()) {
        // Labels and other widgets do not unregister themselves the way
        // VwButton does; dropping them here keeps applyLanguage() away from
        // destroyed widgets.
        connect(widget, &QObject::destroyed, this, &VwLanguage::forget);
        found = m_registry.insert(widget, {});
    }
    found->insert(language | kind, text);
}

void VwLanguage::unregisterWidget(QWidget *widget)
{
    if (m_registry.remove(widget) > 0)
        disconnect(widget, &QObject::destroyed, this, &VwLanguage::forget);
}

void VwLanguage::forget(QObject *widget)
{
    // Only the address is used: the widget is already half destroyed.
    m_registry.remove(static_cast<QWidget *>(widget));
}

QString VwLanguage::registeredText(QWidget *widget, int language, int kind) const
{
    return m_registry.value(widget).value(language | kind);
}

bool VwLanguage::isRegistered(QWidget *widget) const
{
    return m_registry.contains(widget);
}

void VwLanguage::applyLanguage()
{
    const int current = language;
    const QList<QWidget *> widgets = m_registry.keys();
    for (QWidget *widget : widgets) {
        const auto found = m_registry.constFind(widget);
        if (found == m_registry.constEnd())
            continue;
        const QHash<int, QString> &texts = *found;
        if (widget->inherits("QPushButton")) {
            auto *button = static_cast<QAbstractButton *>(widget);
            const QString tooltip = texts.value(current | TEXT_KIND_TOOLTIP);
            if (!tooltip.isEmpty())
                button->setToolTip(tooltip);
            const QString text = texts.value(current | TEXT_KIND_TEXT);
            if (!text.isEmpty())
                button->setText(text);
        } else if (widget->inherits("QLabel")) {
            const auto text = texts.constFind(current | TEXT_KIND_TEXT);
            if (text != texts.constEnd())
                static_cast<QLabel *>(widget)->setText(*text);
        }
    }
}

void VwLanguage::setLanguage(VwLanguage::LANGUAGE_TYPE language)
{
    qCDebug(lcHxApp) << "VwLanguage::setLanguage" << int(language);
    this->language = language;
    applyLanguage();
    VwSettings::instance()->setLanguage(language);
    Q_EMIT languageChange(language);
}

void VwLanguage::setLanguageAuto(bool on)
{
    languageAuto = on;
    VwSettings::instance()->setLanguageAuto(on);
}

void VwLanguage::applyChoice(int choice)
{
    LANGUAGE_TYPE target;
    switch (choice) {
    case CHOICE_AUTO:
        target = systemLanguage();
        break;
    case CHOICE_JAPANESE:
        target = LANGUAGE_JAPANESE;
        break;
    case CHOICE_ENGLISH:
        target = LANGUAGE_ENGLISH;
        break;
    default:
        return;
    }
    setLanguageAuto(choice == CHOICE_AUTO);
    if (target != language)
        setLanguage(target);
}

int VwLanguage::currentChoice() const
{
    if (languageAuto)
        return CHOICE_AUTO;
    return language == LANGUAGE_JAPANESE ? CHOICE_JAPANESE : CHOICE_ENGLISH;
}

VwLanguage::LANGUAGE_TYPE VwLanguage::systemLanguage()
{
    return languageForLocale(QLocale::system().name());
}

VwLanguage::LANGUAGE_TYPE VwLanguage::languageForLocale(const QString &localeName)
{
    return localeName.contains(QLatin1String("JP"), Qt::CaseInsensitive) ? LANGUAGE_JAPANESE
                                                                         : LANGUAGE_ENGLISH;
}

QString languageText(const QString &key)
{
    QMap<QString, QString> &table = languageTable();
    if (table.isEmpty())
        buildLanguageTable(table);
    // operator[] on purpose: an unknown key stays in the table with an empty text.
    return table[key];
}

QString languageText(const char *key)
{
    return languageText(QString::fromUtf8(key));
}

QString languagePick(const char *japanese, const char *english)
{
    return QString::fromUtf8(VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE ? japanese
                                                                                            : english);
}
