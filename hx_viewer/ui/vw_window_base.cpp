#include "vw_window_base.h"

#include "hx_frame_title.h"
#include "vw_widget_drag.h"

#include <QVBoxLayout>

namespace {
constexpr int kDragHeight = 43;
constexpr int kModalDragHeight = 39;
} // namespace

VwWindowBase::VwWindowBase(QWidget *parent, const QString &title, const QString &logo, bool modal)
    : QMainWindow(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    if (modal) {
        setWindowModality(Qt::ApplicationModal);
        // A dialog window type keeps the modal window above its owner on every window system.
        setWindowFlags(windowFlags() | Qt::Dialog);
    }

    centralArea = new QWidget(this);
    centralLayout = new QVBoxLayout(centralArea);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);

    titleBar = new HxFrameTitle(centralArea, title, logo);
    centralLayout->addWidget(titleBar);

    mainWidget = new QWidget(centralArea);
    mainWidget->setObjectName(QStringLiteral("main_widget"));
    mainWidget->setStyleSheet(QStringLiteral("QWidget#main_widget{background-color: #4F4F4F;}"));
    mainWidget->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    centralLayout->addWidget(mainWidget);

    setCentralWidget(centralArea);
    dragHelper = new VwWidgetDrag(this, modal ? kModalDragHeight : kDragHeight);
}
