#include "hx_folder_dialog.h"

#include "hx_platform_log.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

HxFolderDialog::HxFolderDialog(QWidget *parent)
    : QDialog(parent)
{
    m_instruction = new QLabel(this);
    m_instruction->setWordWrap(true);

    // Qt's own dialog, embedded as a widget, so the instruction can sit above it
    // and its OK button can be governed.
    m_files = new QFileDialog(this);
    m_files->setWindowFlags(Qt::Widget);
    m_files->setOption(QFileDialog::DontUseNativeDialog, true);
    m_files->setFileMode(QFileDialog::Directory);
    m_files->setOption(QFileDialog::ShowDirsOnly, true);
    m_files->setAcceptMode(QFileDialog::AcceptOpen);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_instruction);
    layout->addWidget(m_files, 1);

    if (auto *buttons = m_files->findChild<QDialogButtonBox *>()) {
        m_accept = buttons->button(QDialogButtonBox::Open);
        if (!m_accept)
            m_accept = buttons->button(QDialogButtonBox::Save);
    }
    if (m_accept)
        m_accept->installEventFilter(this);
    else
        qCWarning(lcHxPlatform) << "HxFolderDialog::HxFolderDialog no accept button found";

    connect(m_files, &QFileDialog::currentChanged, this, &HxFolderDialog::updateAcceptButton);
    connect(m_files, &QFileDialog::directoryEntered, this, &HxFolderDialog::updateAcceptButton);
    if (auto *edit = m_files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        connect(edit, &QLineEdit::textChanged, this, &HxFolderDialog::updateAcceptButton);
    connect(m_files, &QFileDialog::finished, this, &HxFolderDialog::onFilesFinished);

    setNewFolderAllowed(true);
    resize(520, 420);
}

void HxFolderDialog::setInstruction(const QString &text)
{
    m_instruction->setText(text);
}

QString HxFolderDialog::instruction() const
{
    return m_instruction->text();
}

void HxFolderDialog::setStartFolder(const QString &path)
{
    if (path.isEmpty())
        return;
    // A remembered folder may be gone (a card taken out): open the nearest
    // folder above it that still exists.
    QString folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            return;
        folder = parent;
    }
    m_files->setDirectory(folder);
    updateAcceptButton();
}

void HxFolderDialog::setNewFolderAllowed(bool allowed)
{
    m_newFolderAllowed = allowed;
    // Read-only also takes the new-folder entry out of the context menu.
    m_files->setOption(QFileDialog::ReadOnly, !allowed);
    if (auto *button = m_files->findChild<QToolButton *>(QStringLiteral("newFolderButton")))
        button->setVisible(allowed);
}

bool HxFolderDialog::isNewFolderAllowed() const
{
    return m_newFolderAllowed;
}

void HxFolderDialog::setUnreadyTest(const UnreadyTest &test)
{
    m_unready = test;
    updateAcceptButton();
}

QString HxFolderDialog::currentFolder() const
{
    const QStringList selected = m_files->selectedFiles();
    return selected.isEmpty() ? m_files->directory().absolutePath() : selected.first();
}

void HxFolderDialog::selectFolder(const QString &path)
{
    m_files->setDirectory(QDir::fromNativeSeparators(path));
    updateAcceptButton();
}

bool HxFolderDialog::isAcceptEnabled() const
{
    return m_accept && m_accept->isEnabled();
}

bool HxFolderDialog::isCurrentUnready() const
{
    return m_unready && m_unready(currentFolder());
}

void HxFolderDialog::updateAcceptButton()
{
    if (!m_accept)
        return;
    const bool unready = isCurrentUnready();
    if (unready && m_accept->isEnabled()) {
        m_forcedOff = true;
        m_accept->setEnabled(false);
    } else if (!unready && m_forcedOff) {
        // The dialog's own rule for a folder selection: it must exist.
        m_forcedOff = false;
        m_accept->setEnabled(QFileInfo(currentFolder()).isDir());
    }
}

bool HxFolderDialog::eventFilter(QObject *watched, QEvent *event)
{
    // The file dialog re-enables its button on every change of selection or
    // typed name; keep it off while the selection cannot be used.
    if (watched == m_accept && event->type() == QEvent::EnabledChange)
        updateAcceptButton();
    return QDialog::eventFilter(watched, event);
}

void HxFolderDialog::onFilesFinished(int result)
{
    if (result != QDialog::Accepted) {
        reject();
        return;
    }
    const QString folder = currentFolder();
    if (m_unready && m_unready(folder)) {
        // The medium went away between the last check and the click.
        m_files->setVisible(true);
        updateAcceptButton();
        return;
    }
    m_chosen = QDir::toNativeSeparators(folder);
    accept();
}
