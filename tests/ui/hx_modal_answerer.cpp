#include "hx_modal_answerer.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

HxModalAnswerer::HxModalAnswerer(const QList<Step> &steps)
    : m_steps(steps)
{
    connect(&m_poll, &QTimer::timeout, this, &HxModalAnswerer::poll);
    m_poll.start(10);
}

void HxModalAnswerer::closeAll()
{
    while (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
        dialog->reject();
        QCoreApplication::processEvents();
    }
}

void HxModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (m_pending || !modal || !modal->isVisible())
        return;
    std::function<void(QWidget *)> action;
    if (!m_steps.isEmpty() && m_steps.first().accepts(modal))
        action = m_steps.takeFirst().action;
    for (int i = 0; !action && i < m_always.size(); ++i) {
        if (m_always.at(i).accepts(modal))
            action = m_always.at(i).action;
    }
    if (!action)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this, action, modal = QPointer<QWidget>(modal)] {
        m_pending = false;
        if (modal)
            action(modal);
    });
}
