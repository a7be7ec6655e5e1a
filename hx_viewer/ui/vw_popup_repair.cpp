#include "vw_popup_repair.h"

#include "vw_button.h"

#include <QBoxLayout>

namespace {
const QSize kButtonSize(120, 30);
}

VwPopupRepair::VwPopupRepair(QWidget *parent, const QString &recordingName)
    : VwPopupMessage(parent, isJapanese() ? QStringLiteral("修復") : QStringLiteral("Repair"),
                     isJapanese()
                         ? QStringLiteral("%1 は記録中に電源が切れたため再生できません。\n"
                                          "修復したコピーを作りますか? 元のファイルは変更しません。")
                               .arg(recordingName)
                         : QStringLiteral("%1 was cut off by a power loss and cannot be played.\n"
                                          "Make a repaired copy? The original file is not changed.")
                               .arg(recordingName))
{
    const bool japanese = isJapanese();
    okButton()->setText(japanese ? QStringLiteral("修復") : QStringLiteral("Repair"));
    disconnect(okButton(), nullptr, this, nullptr);
    connect(okButton(), &QPushButton::clicked, this, [this] { done(CHOICE_REPAIR); });

    m_chooseFolderButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("popup_button"),
                                            QString(), kButtonSize);
    m_chooseFolderButton->setText(japanese ? QStringLiteral("保存先を選択") : QStringLiteral("Choose folder"));
    connect(m_chooseFolderButton, &QPushButton::clicked, this, [this] { done(CHOICE_CHOOSE_FOLDER); });

    _cancelButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("popup_button"),
                                     QString(), kButtonSize);
    _cancelButton->setText(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
    connect(_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    // The message sized the popup for its one button.
    setFixedWidth(qMax(width(), _mainLayout->minimumSize().width()));
}
