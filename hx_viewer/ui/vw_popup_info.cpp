#include "vw_popup_info.h"

#include "title_widget.h"
#include "vw_button.h"
#include "vw_language.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;
constexpr int kVersionPatch = 4;
} // namespace

QString VwPopupInfo::version()
{
    return QString::asprintf("%d.%d.%d", kVersionMajor, kVersionMinor, kVersionPatch);
}

QString VwPopupInfo::versionLine()
{
    return QStringLiteral("    Version : ") + version();
}

VwPopupInfo::VwPopupInfo(QWidget *parent, const QString &title, const QString &text)
    : VwPopup(parent, languageText("viewer_sw_version"), QString(), Qt::WindowFlags())
{
    Q_UNUSED(title)
    Q_UNUSED(text)
    const bool japanese = isJapanese();
    setFixedSize(320, 180);
    if (_titleWidget->closeButton())
        _titleWidget->closeButton()->hide();

    QVBoxLayout *panelLayout = addContentPanel();
    QWidget *panel = panelLayout->parentWidget();

    const QString header = japanese ? languageText("viewer_sw_version")
                                    : QStringLiteral("Viewer S/W Version Info.");
    addTextLabel(panel, panelLayout, header, QStringLiteral("text_header_label"));
    if (!japanese && _titleWidget->titleLabel())
        _titleWidget->titleLabel()->setText(header);
    addTextLabel(panel, panelLayout, versionLine(), QStringLiteral("text_normal_label"));
    addFixedSpacer(panelLayout, 0, 8);

    _okButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("button"), QString(),
                                 QSize(120, 30));
    _okButton->setText(QStringLiteral("OK"));
    connect(_okButton, &QPushButton::clicked, this, &QDialog::accept);
}
