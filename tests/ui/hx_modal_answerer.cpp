#include "hx_modal_answerer.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

HxModalAnswerer::HxModalAnswerer(const QList<Step> &steps, QObject *parent)
    : QObject(parent)
    , m_steps(steps)
{
    connect(&m_poll, &QTimer::timeout, this, &HxModalAnswerer::poll);
    m_poll.start(10);
}

void HxModalAnswerer::giveUpAfter(int ms)
{
    QTimer::singleShot(ms, this, &HxModalAnswerer::closeAll);
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
    if (!m_steps.isEmpty() && m_steps.first().accepts(modal)) {
        action = m_steps.takeFirst().action;
    } else {
        for (const Step &step : qAsConst(m_always)) {
            if (step.accepts(modal)) {
                action = step.action;
                break;
            }
        }
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
