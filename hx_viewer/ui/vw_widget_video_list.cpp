#include "vw_widget_video_list.h"

#include "av_player.h"
#include "hx_ui_log.h"
#include "vw_app.h"
#include "vw_key_event.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup_message.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_video_list_delegate.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>

namespace {
constexpr int kHeaderHeight = 23;
constexpr int kRowHeight = 22;
constexpr int kIgnoredPressWidth = 20;

struct ColumnSpec
{
    const char *header;
    int width;
};
const ColumnSpec kColumns[VwWidgetVideoList::COLUMN_COUNT] = {
    {"No.", 30}, {"ファイル名", 122}, {"ファイル日付", 120}, {"サイズ", 38}, {"タイプ", 70},
};

const QString kScrollBarStyle = QStringLiteral(
    "QScrollBar:vertical{width: 10px;background: #3B3B3B;margin: 0px;border: none;}"
    "QScrollBar::handle:vertical{background: #cc9933;min-height: 25px;margin: 2px 1px 2px 1px;}"
    "QScrollBar::handle:vertical:disabled{background: #3B3B3B;}"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical{background: #3A3A3A;}"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical{width: 0px;height: 0px;}");

const QString kTableStyle = QStringLiteral(
    "QTableWidget{background-color: #737373;gridline-color: #666666;font-family: Arial;"
    "font-size: 13px;color: white;outline: none;border: none;}");

// The delegate paints the cells; the items exist so that screen readers (and
// anything else reading the accessibility tree) get the same texts, asked for
// when they are read, so never stale after a repair or a language change.
class AccessibleCell : public QTableWidgetItem
{
public:
    explicit AccessibleCell(const VwWidgetVideoListDelegate *delegate)
        : m_delegate(delegate)
    {
    }

    QVariant data(int role) const override
    {
        if (role == Qt::AccessibleTextRole && tableWidget())
            return m_delegate->cellText(row(), column());
        return QTableWidgetItem::data(role);
    }

private:
    const VwWidgetVideoListDelegate *m_delegate;
};

const QString kHeaderStyle = QStringLiteral(
    "QHeaderView{background-color: #3A3A3A;}"
    "QHeaderView::section{background-color: #3A3A3A;color: white;font-size: 13px;padding: 1px;"
    "border-left: 1px solid #3A3A3A;border-top: 1px solid #3A3A3A;"
    "border-bottom: 1px solid #3A3A3A;border-right: 1px solid #8C8C8C;}");
} // namespace

VwWidgetVideoList::VwWidgetVideoList(QWidget *parent, VwVideoFileList *list, VwPlayer *player)
    : QTableWidget(parent)
    , m_list(list ? list : VwVideoFileList::instance())
    , m_player(player ? player : VwPlayer::instance())
{
    setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setStyleSheet(kScrollBarStyle);
    setStyleSheet(kTableStyle);
    horizontalHeader()->setStyleSheet(kHeaderStyle);

    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    m_delegate = new VwWidgetVideoListDelegate(this, m_list);
    setItemDelegate(m_delegate);
    setupColumns();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setFixedHeight(kHeaderHeight);
    // The header takes no clicks: the order of the list is the recorder's.
    horizontalHeader()->setEnabled(false);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VwWidgetVideoList::onSelectionChanged);
    connect(this, &QTableWidget::cellDoubleClicked, this, &VwWidgetVideoList::onDoubleClickItem);
    connect(m_list, &VwVideoFileList::listUpdateEnd, this, &VwWidgetVideoList::onListUpdateEnd);
    connect(m_list, &VwVideoFileList::listUpdateStarted, this, &VwWidgetVideoList::onListUpdateStart);
    connect(m_list, &VwVideoFileList::playItemFound, this, &VwWidgetVideoList::onPlayItemFound);
    connect(m_list, &VwVideoFileList::playNoMoreItem, this, &VwWidgetVideoList::onPlayNoMoreItem);
    connect(m_player, &VwPlayer::playEvent, this, &VwWidgetVideoList::onPlayEvent);

    m_nextShortcut = addListShortcut(QKeySequence(Qt::Key_PageDown), this);
    connect(m_nextShortcut, &QShortcut::activated, this, &VwWidgetVideoList::onNext);
    m_previousShortcut = addListShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(m_previousShortcut, &QShortcut::activated, this, &VwWidgetVideoList::onPrevious);
}

QShortcut *VwWidgetVideoList::addListShortcut(const QKeySequence &key, QWidget *fallback)
{
    QWidget *host = VwApp::instance()->mainWindow ? VwApp::instance()->mainWindow : fallback;
    auto *shortcut = new QShortcut(key, host);
    shortcut->setContext(Qt::ApplicationShortcut);
    return shortcut;
}

int VwWidgetVideoList::defaultColumnWidth(int column)
{
    return column >= 0 && column < COLUMN_COUNT ? kColumns[column].width : 0;
}

void VwWidgetVideoList::setupColumns()
{
    setColumnCount(COLUMN_COUNT);
    QStringList headers;
    for (const ColumnSpec &column : kColumns)
        headers.append(QString::fromUtf8(column.header));
    setHorizontalHeaderLabels(headers);
    QHeaderView *header = horizontalHeader();
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        header->setSectionResizeMode(i, QHeaderView::Fixed);
        header->resizeSection(i, kColumns[i].width);
    }
}

int VwWidgetVideoList::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

VwVideoItem *VwWidgetVideoList::selectedItem() const
{
    const int row = selectedRow();
    const QList<VwVideoItemPtr> &items = m_list->visibleItems();
    return row >= 0 && row < items.size() ? items.at(row).data() : nullptr;
}

void VwWidgetVideoList::rebuild(bool preferFirst, VwVideoItem *select)
{
    VwVideoItem *remembered = selectedItem();
    setColumnCount(0);
    setRowCount(0);
    setupColumns();
    const QList<VwVideoItemPtr> &items = m_list->visibleItems();
    setRowCount(items.size());
    for (int row = 0; row < items.size(); ++row)
        for (int column = 0; column < COLUMN_COUNT; ++column)
            setItem(row, column, new AccessibleCell(m_delegate));

    VwVideoItem *choice = nullptr;
    for (const VwVideoItemPtr &item : items) {
        if (select && item.data() == select) {
            choice = select;
            break;
        }
        if (!choice && (!remembered || preferFirst))
            choice = item.data();
    }
    if (!choice)
        choice = remembered;
    const int rows = qMin(rowCount(), items.size());
    for (int row = 0; choice && row < rows; ++row) {
        if (items.at(row).data() == choice) {
            selectRow(row);
            break;
        }
    }
}

void VwWidgetVideoList::replaceLoadStart(VwVideoItem *item)
{
    m_loadStartReplaced = true;
    m_loadStartItem = item;
}

void VwWidgetVideoList::startRecording(VwVideoItem *item)
{
    // Held for the popup below: the list may drop the record meanwhile.
    const VwVideoItemPtr keep = m_list->sharedItem(item);
    if (!keep || item->isDamaged())
        return;
    if (QFileInfo::exists(item->primaryPath())) {
        m_list->setCurrentItem(item);
        Q_EMIT listSelected(item);
        return;
    }
    qCDebug(lcHxUi) << "VwWidgetVideoList::startRecording missing" << item->primaryPath();
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    VwPopupMessage popup(window(), japanese ? QStringLiteral("注意") : QStringLiteral("Notice"),
                         japanese ? QStringLiteral("ファイルがありません。")
                                  : QStringLiteral("The file does not exist."));
    popup.exec();
    const int index = m_list->removeItem(item);
    if (index >= 0 && index < rowCount())
        removeRow(index);
    // Rows below the removed one moved up under a selection that did not say so.
    m_delegate->selectedRow = selectedRow();
    viewport()->update();
}

void VwWidgetVideoList::startRow(int row)
{
    const QList<VwVideoItemPtr> &items = m_list->visibleItems();
    if (row < 0 || row >= items.size() || !items.at(row))
        return;
    m_player->clearSeekMode();
    startRecording(items.at(row).data());
}

void VwWidgetVideoList::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    Q_UNUSED(item)
    if (event == PLAY_EVENT_USER_STOP)
        m_list->setCurrentItem(nullptr);
    else if (event == PLAY_EVENT_NO_MEDIA)
        startRow(selectedRow());
}

void VwWidgetVideoList::onListUpdateStart(bool bLoading)
{
    Q_UNUSED(bLoading)
    // Nothing may read the list while it is rebuilt.
    m_delegate->setActive(false);
    m_loadStartReplaced = false;
    m_loadStartItem = nullptr;
}

void VwWidgetVideoList::onListUpdateEnd(bool bLoading)
{
    Q_UNUSED(bLoading)
    m_delegate->setActive(true);
    rebuild(true, nullptr);
    viewport()->update();
}

void VwWidgetVideoList::onPlayItemFound(VwVideoItem *item, int old)
{
    Q_UNUSED(old)
    if (m_loadStartReplaced) {
        item = m_loadStartItem;
        m_loadStartReplaced = false;
        m_loadStartItem = nullptr;
        if (!item)
            return;
    }
    startRecording(item);
    clearSelection();
    const int row = m_list->currentIndex();
    if (row >= 0)
        selectRow(row);
}

void VwWidgetVideoList::onPlayNoMoreItem()
{
    m_list->setCurrentItem(nullptr);
}

void VwWidgetVideoList::onDoubleClickItem(int row, int column)
{
    if (column == COLUMN_NUMBER)
        return;
    VwVideoItem *item = m_list->visibleItems().value(row).data();
    if (item && item->isDamaged())
        Q_EMIT repairRequested(item);
    else
        startRow(row);
}

void VwWidgetVideoList::onSelectionChanged(const QItemSelection &selected,
                                           const QItemSelection &deselected)
{
    Q_UNUSED(selected)
    Q_UNUSED(deselected)
    m_delegate->currentRow = currentIndex().row();
    m_delegate->selectedRow = selectedRow();
}

void VwWidgetVideoList::onNext()
{
    step(true);
}

void VwWidgetVideoList::onPrevious()
{
    step(false);
}

void VwWidgetVideoList::step(bool forward)
{
    if (VwKeyEvent::instance()->isKeyHeld())
        return;
    const int row = selectedRow();
    const int count = m_list->visibleItems().size();
    if (row < 0 || count == 0 || (!forward && row < 1))
        return;
    if (!m_player->playerF()->isLoaded() && !VwPlayProcess::playLoading()) {
        // Nothing plays: only the cursor moves, wrapping at the end.
        selectRow(forward ? (row + 1) % count : row - 1);
        return;
    }
    m_player->clearSeekMode();
    if (forward)
        m_list->onPlayNextVideo(row);
    else
        m_list->onPlayPreviousVideo(row);
}

bool VwWidgetVideoList::isIgnoredPress(const QMouseEvent *event)
{
    return event->button() == Qt::RightButton || event->pos().x() < kIgnoredPressWidth;
}

void VwWidgetVideoList::mousePressEvent(QMouseEvent *event)
{
    if (isIgnoredPress(event))
        return;
    QTableWidget::mousePressEvent(event);
}

void VwWidgetVideoList::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (isIgnoredPress(event))
        return;
    QTableWidget::mouseDoubleClickEvent(event);
}
