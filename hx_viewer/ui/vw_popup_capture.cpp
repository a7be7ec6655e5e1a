#include "vw_popup_capture.h"

#include "hx_ui_log.h"
#include "title_widget.h"
#include "vw_app.h"
#include "vw_button.h"
#include "vw_dialog_overwrite_sys.h"
#include "vw_language.h"
#include "vw_settings.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
const QList<QString> kNoFiles;
} // namespace

VwPopupCapture::VwPopupCapture(QWidget *parent, QList<QString> *files)
    : VwPopup(parent, QStringLiteral("キャプチャー"), QString(), Qt::WindowFlags())
    , _files(files ? *files : kNoFiles)
{
    const bool japanese = isJapanese();
    setFixedSize(482, 277);
    if (_titleWidget->closeButton())
        _titleWidget->closeButton()->hide();
    if (!japanese && _titleWidget->titleLabel())
        _titleWidget->titleLabel()->setText(QStringLiteral("Save Capture"));

    QVBoxLayout *panelLayout = addContentPanel();
    QWidget *panel = panelLayout->parentWidget();

    addFixedSpacer(panelLayout, 0, 10);
    addTextLabel(panel, panelLayout,
                 japanese ? QStringLiteral("キャプチャーをJPEGで保存します")
                          : QStringLiteral("Save capture file in JPEG"),
                 QStringLiteral("text_header_label"));
    addFixedSpacer(panelLayout, 0, 30);

    auto *nameRow = new QHBoxLayout;
    nameRow->setContentsMargins(0, 0, 0, 0);
    nameRow->setSpacing(10);
    addTextLabel(panel, nameRow,
                 japanese ? QStringLiteral("ファイル名 : ") : QStringLiteral("File Name: "),
                 QStringLiteral("text_header_label"));
    _nameEdit = new QLineEdit(_files.proposedName(), panel);
    _nameEdit->setObjectName(QStringLiteral("file"));
    // The start of a long proposed name tells the recording apart.
    _nameEdit->setCursorPosition(0);
    nameRow->addWidget(_nameEdit);
    addFixedSpacer(nameRow, 70, 0);
    panelLayout->addLayout(nameRow);

    auto *folderRow = new QHBoxLayout;
    folderRow->setContentsMargins(0, 0, 0, 0);
    folderRow->setSpacing(10);
    _folderEdit = new QLineEdit(VwSettings::instance()->backupPath(), panel);
    _folderEdit->setObjectName(QStringLiteral("file"));
    _folderEdit->setReadOnly(true);
    folderRow->addWidget(_folderEdit);
    VwButton *change = VwButton::create(panel, folderRow, QStringLiteral("button"), QString(),
                                        QSize(60, 30));
    change->setText(japanese ? QStringLiteral("変更") : QStringLiteral("Other.."));
    connect(change, &QPushButton::clicked, this, &VwPopupCapture::onChangeFolder);
    panelLayout->addLayout(folderRow);

    _buttonLayout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    _okButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("button"), QString(),
                                 QSize(120, 30));
    // The table's entry reads "保存" in both languages; an English dialog
    // says Save, as its Cancel says Cancel.
    _okButton->setText(japanese ? languageText("save") : QStringLiteral("Save"));
    connect(_okButton, &QPushButton::clicked, this, &VwPopupCapture::onOK);
    addFixedSpacer(_buttonLayout, 10, 0);
    _cancelButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("button"),
                                     QString(), QSize(120, 30));
    _cancelButton->setText(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
    connect(_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    addFixedSpacer(_buttonLayout, 20, 0);
}

void VwPopupCapture::showWarning(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok, parent,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}

QString VwPopupCapture::failureText(const QString &folder, const QString &reason)
{
    QString text = isJapanese() ? QStringLiteral("JPEGファイル生成に失敗しました。")
                                : QStringLiteral("Unable to save file.");
    if (!folder.isEmpty())
        text += QLatin1Char('\n') + folder;
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    return text;
}

void VwPopupCapture::onChangeFolder()
{
    const QString chosen = VwApp::instance()->browseFolder(
        _folderEdit->text(), true,
        isJapanese() ? QStringLiteral("フォルダー変更") : QStringLiteral("Change folder"));
    if (chosen.isEmpty())
        return;
    VwSettings::instance()->setBackupPath(chosen);
    _folderEdit->setText(chosen);
}

void VwPopupCapture::onOK()
{
    const QString name = _nameEdit->text();
    if (name.trimmed().isEmpty()) {
        showWarning(this, isJapanese() ? QStringLiteral("ファイル名を入れてください。")
                                       : QStringLiteral("Please enter a file name."));
        return;
    }
    // A separator would put the stills outside the chosen folder.
    if (name.contains(QLatin1Char('/'))) {
        showWarning(this, isJapanese() ? QStringLiteral("ファイル名に「/」は使えません。")
                                       : QStringLiteral("A file name cannot contain \"/\"."));
        return;
    }
    if (targetExists()) {
        VwDialogOverwriteSys question(parentWidget(), name + QStringLiteral("_*.jpg"));
        if (question.exec() != QDialog::Accepted)
            return;
    }
    accept();
}

bool VwPopupCapture::targetExists() const
{
    return _files.anyTargetExists(_folderEdit->text(), _nameEdit->text());
}

bool VwPopupCapture::save()
{
    QString reason;
    if (_files.save(_folderEdit->text(), _nameEdit->text(), &reason))
        return true;
    qCWarning(lcHxUi) << "VwPopupCapture::save" << _folderEdit->text() << reason;
    showWarning(this, failureText(_folderEdit->text(), reason));
    return false;
}

void VwPopupCapture::discard()
{
    _files.discard();
}
