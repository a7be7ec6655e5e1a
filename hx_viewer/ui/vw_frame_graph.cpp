#include "vw_frame_graph.h"

#include "hx_button.h"
#include "hx_speed_frame.h"
#include "vw_graph_widget.h"
#include "vw_language.h"
#include "vw_popup.h"
#include "vw_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
// A column of fixed width whose items stand from the top down.
QVBoxLayout *addColumn(QWidget *panel, QHBoxLayout *row, int width, int top, int spacing)
{
    auto *column = new QWidget(panel);
    column->setFixedWidth(width);
    auto *layout = new QVBoxLayout(column);
    layout->setAlignment(Qt::AlignTop);
    layout->setContentsMargins(0, top, 0, 0);
    layout->setSpacing(spacing);
    row->addWidget(column);
    return layout;
}

// One legend row: the axis icon and the value at the playback position.
QLabel *addAxisRow(QVBoxLayout *column, const QString &name, int color, HxButton **icon)
{
    QWidget *legend = column->parentWidget();
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->setAlignment(Qt::AlignVCenter);
    *icon = HxButton::createSingleImageButton(legend, row, name, QString(), QSize(30, 25));
    (*icon)->setEnabled(false);
    auto *label = new QLabel(QStringLiteral("-0.00"), legend);
    label->setFixedWidth(32);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    applyLabelStyle(label, name, QStringLiteral("Arial"), color, 12, false);
    row->addWidget(label);
    column->addLayout(row);
    return label;
}

HxButton *addZoomButton(QVBoxLayout *column, const QString &name, const char *japaneseKey,
                        const QString &english)
{
    HxButton *button = HxButton::createImageButton(column->parentWidget(), column, name,
                                                   languageText(japaneseKey), QSize(28, 36), -1);
    VwLanguage::instance()->registerText(VwLanguage::LANGUAGE_ENGLISH,
                                         VwLanguage::TEXT_KIND_TOOLTIP, button, english);
    return button;
}
} // namespace

VwFrameGraph::VwFrameGraph(QWidget *parent)
    : VwWidgetBase(parent, true)
{
    setObjectName(QStringLiteral("graph_panel"));
    panelLayout = new QHBoxLayout(this);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    panelLayout->setAlignment(Qt::AlignLeft);

    speedFrame = new HxSpeedFrame(this);
    speedFrame->setFixedSize(88, 79);
    panelLayout->addWidget(speedFrame);
    addFixedSpacer(panelLayout, 1, 0);

    QVBoxLayout *legend = addColumn(this, panelLayout, 66, 1, 0);
    labelX = addAxisRow(legend, QStringLiteral("sensor_x"), 0x00FF00, &iconX);
    labelY = addAxisRow(legend, QStringLiteral("sensor_y"), 0xFFFF00, &iconY);
    labelZ = addAxisRow(legend, QStringLiteral("sensor_z"), 0xFF0000, &iconZ);

    graph = new VwGraphWidget(this, {1, 2, 4});
    graph->setFixedHeight(70);
    graph->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    panelLayout->addWidget(graph);
    addFixedSpacer(panelLayout, 2, 0);

    QVBoxLayout *zoomColumn = addColumn(this, panelLayout, 28, 2, 1);
    zoomIn = addZoomButton(zoomColumn, QStringLiteral("graph_up"), "graph_zoom_in",
                           QStringLiteral("Zoom In"));
    zoomOut = addZoomButton(zoomColumn, QStringLiteral("graph_down"), "graph_zoom_out",
                            QStringLiteral("Zoom Out"));
    zoomOut->setEnabled(false);
    addFixedSpacer(panelLayout, 2, 0);

    connect(zoomIn, &QPushButton::clicked, graph, &VwGraphWidget::onZoomIn);
    connect(zoomOut, &QPushButton::clicked, graph, &VwGraphWidget::onZoomOut);
    connect(graph, &VwGraphWidget::zoomChange, this, &VwFrameGraph::onZoomChange);
    graph->setValueLabels(labelX, labelY, labelZ);
}

void VwFrameGraph::onZoomChange(bool zi, bool zo)
{
    zoomOut->setEnabled(zo);
    zoomIn->setEnabled(zi);
}

void VwFrameGraph::onAppEvent(VwApp::Event event, int param)
{
    switch (event) {
    case VwApp::EVENT_FULLSCREEN_ENTER:
        setVisible(param != 0);
        break;
    case VwApp::EVENT_FULLSCREEN_LEAVE:
        show();
        break;
    case VwApp::EVENT_FULLSCREEN_ENTERED:
    case VwApp::EVENT_FULLSCREEN_LEFT:
        graph->rebuild();
        break;
    default:
        break;
    }
}
