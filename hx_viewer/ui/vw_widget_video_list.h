#pragma once

#include "vw_play_event.h"

#include <QItemSelection>
#include <QTableWidget>

class QKeySequence;
class QShortcut;
class VwPlayer;
class VwVideoFileList;
class VwVideoItem;
class VwWidgetVideoListDelegate;

// The recording table of the file list panel. It holds a row count only; the
// delegate paints each row from the recording list. The table's selection is
// the user's cursor; the recording being played is the list's current record,
// which the table sets when it starts a recording.
class VwWidgetVideoList : public QTableWidget
{
    Q_OBJECT

public:
    enum Column {
        COLUMN_NUMBER = 0,
        COLUMN_NAME = 1,
        COLUMN_DATE = 2,
        COLUMN_SIZE = 3,
        COLUMN_TYPE = 4,
        COLUMN_COUNT = 5,
    };

    // Drives the program's list and player unless others are given.
    explicit VwWidgetVideoList(QWidget *parent = nullptr, VwVideoFileList *list = nullptr,
                               VwPlayer *player = nullptr);

    // The fixed width of a column, in pixels.
    static int defaultColumnWidth(int column);
    // An application-wide key of the list, held by the main window (by
    // `fallback` without one) so that it also works in full screen, where
    // the list is hidden.
    static QShortcut *addListShortcut(const QKeySequence &key, QWidget *fallback);

    VwVideoFileList *list() const { return m_list; }
    VwWidgetVideoListDelegate *delegate() const { return m_delegate; }
    QShortcut *nextShortcut() const { return m_nextShortcut; }
    QShortcut *previousShortcut() const { return m_previousShortcut; }

    // The row of the first selected index, or -1.
    int selectedRow() const;
    // The recording at the selected row, or null.
    VwVideoItem *selectedItem() const;
    // Rebuilds the rows from the list. With `preferFirst`, or when nothing
    // was selected, the first row is selected; `select` wins when listed.
    void rebuild(bool preferFirst, VwVideoItem *select);

    // Called between the end of a load and the list's choice of the first
    // recording: start `item` instead, or nothing when it is null.
    void replaceLoadStart(VwVideoItem *item);

Q_SIGNALS:
    void listSelected(VwVideoItem *item);
    // The user opened a recording that a power loss cut off: it is repaired,
    // not played.
    void repairRequested(VwVideoItem *item);

public Q_SLOTS:
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onListUpdateStart(bool bLoading);
    void onListUpdateEnd(bool bLoading);
    void onPlayItemFound(VwVideoItem *item, int old);
    void onPlayNoMoreItem();
    void onDoubleClickItem(int row, int column);
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onNext();
    void onPrevious();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void setupColumns();
    // Plays the recording, or reports and removes it when its file is gone.
    void startRecording(VwVideoItem *item);
    void startRow(int row);
    void step(bool forward);
    static bool isIgnoredPress(const QMouseEvent *event);

    VwVideoFileList *m_list = nullptr;
    VwPlayer *m_player = nullptr;
    VwWidgetVideoListDelegate *m_delegate = nullptr;
    QShortcut *m_nextShortcut = nullptr;
    QShortcut *m_previousShortcut = nullptr;
    bool m_loadStartReplaced = false;
    VwVideoItem *m_loadStartItem = nullptr;
};
