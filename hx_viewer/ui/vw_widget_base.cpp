#include "vw_widget_base.h"

#include <QPainter>
#include <QStyleOption>

VwWidgetBase::VwWidgetBase(QWidget *parent, bool listenToAppEvents)
    : QWidget(parent)
{
    if (listenToAppEvents)
        connect(VwApp::instance(), &VwApp::appEvent, this, &VwWidgetBase::onAppEvent);
}

void VwWidgetBase::onAppEvent(VwApp::Event event, int param)
{
    Q_UNUSED(event)
    Q_UNUSED(param)
}

void VwWidgetBase::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

QWidget *VwWidgetBase::placeholder(QWidget *parent, const QString &objectName)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(objectName);
    return widget;
}
