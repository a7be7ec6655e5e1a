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
// One legend row: the axis icon and the value at the playback position.
QLabel *addAxisRow(QWidget *legend, QVBoxLayout *column, const QString &name, int color,
                   HxButton **icon)
{
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

HxButton *addZoomButton(QWidget *parent, QVBoxLayout *column, const QString &name,
                        const char *japaneseKey, const QString &english)
{
    HxButton *button = HxButton::createImageButton(parent, column, name, languageText(japaneseKey),
                                                   QSize(28, 36), -1);
    VwLanguage::instance()->registerText(VwLanguage::LANGUAGE_ENGLISH, VwLanguage::TEXT_KIND_TOOLTIP,
                                         button, english);
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

    auto *legend = new QWidget(this);
    legend->setFixedWidth(66);
    auto *legendColumn = new QVBoxLayout(legend);
    legendColumn->setAlignment(Qt::AlignTop);
    legendColumn->setContentsMargins(0, 1, 0, 0);
    legendColumn->setSpacing(0);
    labelX = addAxisRow(legend, legendColumn, QStringLiteral("sensor_x"), 0x00FF00, &iconX);
    labelY = addAxisRow(legend, legendColumn, QStringLiteral("sensor_y"), 0xFFFF00, &iconY);
    labelZ = addAxisRow(legend, legendColumn, QStringLiteral("sensor_z"), 0xFF0000, &iconZ);
    panelLayout->addWidget(legend);

    graph = new VwGraphWidget(this, {1, 2, 4});
    graph->setFixedHeight(70);
    graph->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    panelLayout->addWidget(graph);
    addFixedSpacer(panelLayout, 2, 0);

    auto *zoomColumnWidget = new QWidget(this);
    zoomColumnWidget->setFixedWidth(28);
    auto *zoomColumn = new QVBoxLayout(zoomColumnWidget);
    zoomColumn->setAlignment(Qt::AlignTop);
    zoomColumn->setContentsMargins(0, 2, 0, 0);
    zoomColumn->setSpacing(1);
    zoomIn = addZoomButton(zoomColumnWidget, zoomColumn, QStringLiteral("graph_up"), "graph_zoom_in",
                           QStringLiteral("Zoom In"));
    zoomOut = addZoomButton(zoomColumnWidget, zoomColumn, QStringLiteral("graph_down"),
                            "graph_zoom_out", QStringLiteral("Zoom Out"));
    zoomOut->setEnabled(false);
    panelLayout->addWidget(zoomColumnWidget);
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
