#include "vw_dialog_overwrite.h"

#include "title_widget.h"
#include "vw_button.h"
#include "vw_video_file_list.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

VwDialogOverwrite::VwDialogOverwrite(QWidget *parent, const QString &conflictName,
                                     int remainingCount)
    : VwPopup(parent, QStringLiteral("ファイルの保存"), QString(), Qt::WindowFlags())
{
    const bool japanese = isJapanese();
    if (!japanese && _titleWidget->titleLabel())
        _titleWidget->titleLabel()->setText(QStringLiteral("Backup files"));
    setFixedSize(392, 266);

    QVBoxLayout *panelLayout = addContentPanel();
    QWidget *panel = panelLayout->parentWidget();
    panelLayout->setSpacing(18);
    panelLayout->setContentsMargins(10, 10, 10, 10);

    addTextLabel(panel, panelLayout,
                 japanese ? QStringLiteral("この場所に同じ名前のファイルがあります。")
                          : QStringLiteral("File already exists."),
                 QStringLiteral("text_header_label"));
    addTextLabel(panel, panelLayout, conflictName, QStringLiteral("text_header_label"));
    if (remainingCount >= 2) {
        const QString count = QString::number(remainingCount);
        m_applyToAll = new QCheckBox(japanese ? QStringLiteral("同じ処理を次の") + count
                                                    + QStringLiteral("個の競合に適用")
                                              : QStringLiteral("Apply to next ") + count
                                                    + QStringLiteral(" files."),
                                     panel);
        m_applyToAll->setObjectName(QStringLiteral("popup"));
        panelLayout->addWidget(m_applyToAll);
    }

    const QSize buttonSize(120, 30);
    m_skipButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("popup_button"),
                                    QString(), buttonSize);
    m_skipButton->setText(japanese ? QStringLiteral("スキップ") : QStringLiteral("Skip"));
    connect(m_skipButton, &QPushButton::clicked, this, &VwDialogOverwrite::onSkip);
    m_overwriteButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("popup_button"),
                                         QString(), buttonSize);
    m_overwriteButton->setText(japanese ? QStringLiteral("置き換える") : QStringLiteral("Overwrite"));
    connect(m_overwriteButton, &QPushButton::clicked, this, &VwDialogOverwrite::onOverwrite);
    _cancelButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("popup_button"),
                                     QString(), buttonSize);
    _cancelButton->setText(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
    connect(_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

int VwDialogOverwrite::decision(int action) const
{
    const bool toAll = m_applyToAll && m_applyToAll->isChecked();
    return action | (toAll ? int(VwVideoFileList::BACKUP_APPLY_TO_ALL) : 0);
}

void VwDialogOverwrite::onSkip()
{
    done(decision(VwVideoFileList::BACKUP_SKIP));
}

void VwDialogOverwrite::onOverwrite()
{
    done(decision(VwVideoFileList::BACKUP_OVERWRITE));
}
