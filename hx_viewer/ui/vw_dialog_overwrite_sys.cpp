#include "vw_dialog_overwrite_sys.h"

#include "vw_language.h"
#include "vw_popup.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

VwDialogOverwriteSys::VwDialogOverwriteSys(QWidget *parent, const QString &fileName)
    : QDialog(parent, Qt::WindowCloseButtonHint)
{
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    setWindowTitle(japanese ? QStringLiteral("ファイルの保存") : QStringLiteral("Backup files"));
    setFixedSize(316, 151);

    const QString labelStyle = QStringLiteral("font-size: 13px;");
    auto *layout = new QVBoxLayout(this);
    auto *nameLabel = new QLabel(fileName, this);
    nameLabel->setStyleSheet(labelStyle);
    layout->addWidget(nameLabel);
    auto *existsLabel = new QLabel(japanese ? QStringLiteral("この場所に同じ名前のファイルがあります。")
                                            : QStringLiteral("File already exists."),
                                   this);
    existsLabel->setStyleSheet(labelStyle);
    layout->addWidget(existsLabel);
    addFixedSpacer(layout, 0, 35);

    auto *buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    const auto addButton = [this, buttons](const QString &text) {
        auto *button = new QPushButton(text, this);
        button->setFixedSize(90, 24);
        button->setStyleSheet(QStringLiteral("font-size: 14px;"));
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    m_skipButton = addButton(japanese ? QStringLiteral("スキップ") : QStringLiteral("Skip"));
    m_overwriteButton = addButton(japanese ? QStringLiteral("置き換える") : QStringLiteral("Overwrite"));
    m_cancelButton = addButton(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
    connect(m_skipButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_overwriteButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}
