// Times the file list panel on a card of many recordings against a stock Qt
// table showing the same texts through a QStandardItemModel behind a
// QSortFilterProxyModel on the type column, both measured in the same run:
// filling the table at the end of a load, each type filter, and paging
// through the table, every step up to the repaint.
//
//   bench_file_list [--count N] [--rounds R] [CARD]
//
// Without CARD, a card of N recordings (default 1000) is generated into a
// temporary folder with make_card, as bench_list does.

#include "hx_bench.h"
#include "hx_button.h"
#include "vw_app.h"
#include "vw_frame_list.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_video_list.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

// Pages from the top to the bottom of a table, repainting after each page;
// the time of one page.
double pageMs(int rounds, QAbstractItemView *view)
{
    QScrollBar *bar = view->verticalScrollBar();
    const int pages = std::max(1, (bar->maximum() + bar->pageStep() - 1) / std::max(1, bar->pageStep()));
    const double all = hxBestMs(rounds, [&] {
        bar->setValue(0);
        for (int page = 0; page < pages; ++page) {
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            view->viewport()->repaint();
        }
    });
    return all / pages;
}

void printRow(const char *name, double panelMs, double peerMs, const char *target)
{
    std::printf("%-32s %10.2f %10.2f %8.2f   %s\n", name, panelMs, peerMs, panelMs / peerMs, target);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    hxBenchPrivateHome(home.path());
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*.debug=false"));
    VwApp::instance()->initialize(&app);

    HxBenchOptions options = hxBenchOptions(app.arguments().mid(1));
    QTemporaryDir temporary;
    if (!hxBenchPrepareCard(&options, temporary.path()))
        return 1;
    const int rounds = options.rounds;
    const QString card = options.card;

    VwVideoFileList list;
    hxBenchLoadCard(list, card);
    const QList<VwVideoItemPtr> items = list.allItems();

    // The panel at its size in the main window.
    VwFrameList panel(nullptr, &list);
    panel.setFixedSize(392, 345);
    panel.show();
    VwWidgetVideoList *table = panel.table;

    // The peer: the same texts, the same size, a filter on the type column.
    QStandardItemModel model;
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setFilterKeyColumn(VwWidgetVideoList::COLUMN_TYPE);
    QTableView view;
    view.setModel(&proxy);
    view.setFixedSize(table->size());
    view.verticalHeader()->hide();
    view.verticalHeader()->setDefaultSectionSize(table->verticalHeader()->defaultSectionSize());
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.show();
    // Both must be on screen, or a repaint draws nothing.
    QElapsedTimer waiting;
    waiting.start();
    while ((!panel.windowHandle()->isExposed() || !view.windowHandle()->isExposed()) && waiting.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const auto fillPeer = [&] {
        model.clear();
        model.setColumnCount(VwWidgetVideoList::COLUMN_COUNT);
        int number = 0;
        for (const VwVideoItemPtr &item : items) {
            model.appendRow({new QStandardItem(QString::number(++number)),
                             new QStandardItem(item->displayName()),
                             new QStandardItem(item->dateTimeText()), new QStandardItem(item->sizeText()),
                             new QStandardItem(item->typeLabel())});
        }
        for (int column = 0; column < VwWidgetVideoList::COLUMN_COUNT; ++column)
            view.setColumnWidth(column, table->columnWidth(column));
        view.viewport()->repaint();
    };

    std::printf("card: %s, %d recordings listed, best of %d\n\n", qPrintable(card), int(items.size()), rounds);
    std::printf("%-32s %10s %10s %8s   %s\n", "step", "panel ms", "peer ms", "ratio", "target");

    const double fill = hxBestMs(rounds, [&] {
        Q_EMIT list.listUpdateEnd(true);
        panel.repaint();
    });
    printRow("fill", fill, hxBestMs(rounds, fillPeer), "< 100 ms");

    for (HxButton *button : qAsConst(panel.typeButtons)) {
        QStringList labels;
        for (const VwVideoItemPtr &item : items) {
            if ((VwVideoFileList::groupOf(item->type) & button->typeMask()) && !labels.contains(item->typeLabel()))
                labels << QRegularExpression::escape(item->typeLabel());
        }
        const QRegularExpression filter(QStringLiteral("^(") + labels.join(QLatin1Char('|')) + QStringLiteral(")$"));
        const double ours = hxBestMs(rounds, [&] {
            button->click();
            panel.repaint();
        });
        const double peer = hxBestMs(rounds, [&] {
            proxy.setFilterRegularExpression(filter);
            view.viewport()->repaint();
        });
        const QByteArray name = "filter " + button->objectName().toLatin1() + " ("
            + QByteArray::number(list.visibleItems().size()) + " rows)";
        printRow(name.constData(), ours, peer, "< 50 ms");
    }

    panel.allButton->click();
    proxy.setFilterRegularExpression(QRegularExpression());
    // The views size their scroll bars to the rows in a layout pass of their own.
    QCoreApplication::processEvents();
    printRow("scroll, one page", pageMs(rounds, table), pageMs(rounds, &view), "< 16 ms");
    return 0;
}
