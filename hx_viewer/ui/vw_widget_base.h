#pragma once

#include "vw_app.h"

#include <QWidget>

// Base of the main window's panels. A panel built with listenToAppEvents
// receives the layout and closing broadcasts of VwApp in onAppEvent.
class VwWidgetBase : public QWidget
{
    Q_OBJECT

public:
    explicit VwWidgetBase(QWidget *parent = nullptr, bool listenToAppEvents = false);

public Q_SLOTS:
    virtual void onAppEvent(VwApp::Event event, int param);

protected:
    // An empty panel holding the place of one that is built elsewhere.
    static QWidget *placeholder(QWidget *parent, const QString &objectName);

    // A plain QWidget subclass ignores the background and border image of its
    // style sheet unless it paints the PE_Widget primitive itself.
    void paintEvent(QPaintEvent *event) override;
};
