#include "vw_dialog_progress.h"

#include "hx_ui_log.h"
#include "title_widget.h"
#include "vw_app.h"
#include "vw_button.h"
#include "vw_language.h"
#include "vw_style.h"
#include "vw_video_file_list.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>

QPointer<VwDialogProgress> VwDialogProgress::s_current;

namespace {
constexpr int kBarColor = 0xCC9933;

const QString kBarTemplate = QStringLiteral(
    "QProgressBar    {        background-color: white;        border-style: none;    }"
    "    QProgressBar::chunk    {        background-color: #%color%;    }");
} // namespace

VwDialogProgress::VwDialogProgress(QWidget *parent, const QString &title, bool cancellable)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(414, cancellable ? 140 : 100);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *titleWidget = new TitleWidget(this, title, QString(), false);
    layout->addWidget(titleWidget);

    auto *body = new QWidget(this);
    applyBackgroundStyle(body, QStringLiteral("dialog_bg"), 0x3A3A3A);
    auto *bodyLayout = new QHBoxLayout(body);
    bodyLayout->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    bodyLayout->setContentsMargins(0, 8, 0, 0);
    auto *frame = new QWidget(body);
    applyBorderStyle(frame, QStringLiteral("dialog_border"), 0x595959);
    frame->setFixedSize(398, 46);
    auto *frameLayout = new QHBoxLayout(frame);
    frameLayout->setAlignment(Qt::AlignCenter);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    m_bar = new QProgressBar(frame);
    m_bar->setTextVisible(false);
    m_bar->setFixedSize(kRange, 16);
    m_bar->setRange(0, kRange);
    m_bar->setValue(0);
    m_bar->setStyleSheet(QString(kBarTemplate)
                             .replace(QLatin1String("%color%"), QString::number(kBarColor, 16).toUpper()));
    frameLayout->addWidget(m_bar);
    bodyLayout->addWidget(frame);
    layout->addWidget(body);

    if (cancellable) {
        auto *buttonBar = new QWidget(this);
        applyBackgroundStyle(buttonBar, QStringLiteral("dialog_bg"), 0x595959);
        buttonBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        buttonBar->setFixedHeight(43);
        auto *buttonLayout = new QHBoxLayout(buttonBar);
        buttonLayout->setSpacing(0);
        buttonLayout->setContentsMargins(0, 0, 0, 0);
        m_cancelButton = VwButton::create(buttonBar, buttonLayout, QStringLiteral("popup_button"),
                                          QString(), QSize(120, 30));
        const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
        m_cancelButton->setText(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
        connect(m_cancelButton, &QPushButton::clicked, this, &VwDialogProgress::onCancel);
        layout->addWidget(buttonBar);
    }
}

VwDialogProgress::~VwDialogProgress()
{
    releaseCursor();
}

VwDialogProgress *VwDialogProgress::showProgress(const QString &title, bool cancellable,
                                                 VwVideoFileList *list)
{
    closeProgress();
    auto *dialog = new VwDialogProgress(VwApp::instance()->mainWindow, title, cancellable);
    s_current = dialog;
    connect(list ? list : VwVideoFileList::instance(), &VwVideoFileList::updateProgress, dialog,
            &VwDialogProgress::onUpdateValue);
    dialog->show();
    qCDebug(lcHxUi) << "VwDialogProgress::showProgress" << title;
    return dialog;
}

void VwDialogProgress::closeProgress()
{
    VwDialogProgress *dialog = s_current;
    if (!dialog)
        return;
    s_current = nullptr;
    dialog->hide();
    dialog->releaseCursor();
    // Later rather than now: the caller may be running inside one of the
    // dialog's own signals (a handler of cancelled(), say).
    dialog->deleteLater();
}

VwDialogProgress *VwDialogProgress::current()
{
    return s_current;
}

int VwDialogProgress::value() const
{
    return m_bar->value();
}

void VwDialogProgress::onUpdateValue(int value)
{
    m_bar->setValue(qBound(0, value, kRange));
}

void VwDialogProgress::onCancel()
{
    // Once only: a second press would stack a second wait cursor that the
    // end of the operation never takes away.
    if (!m_cancelButton || m_cancelled)
        return;
    m_cancelled = true;
    m_cancelButton->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_holdsCursor = true;
    qCDebug(lcHxUi) << "VwDialogProgress::onCancel";
    Q_EMIT cancelled();
}

void VwDialogProgress::reject()
{
    // Escape lands here: it cancels what can be cancelled and never just
    // hides the dialog while its operation goes on.
    onCancel();
}

void VwDialogProgress::closeEvent(QCloseEvent *event)
{
    event->ignore();
    onCancel();
}

void VwDialogProgress::releaseCursor()
{
    if (!m_holdsCursor)
        return;
    m_holdsCursor = false;
    QApplication::restoreOverrideCursor();
}
