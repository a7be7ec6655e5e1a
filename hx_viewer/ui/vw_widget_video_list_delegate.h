#pragma once

#include <QFont>
#include <QStyledItemDelegate>

class VwVideoFileList;
class VwVideoItem;
class VwWidgetVideoList;

// Paints every cell of the recording table from the recording list: row n of
// the table is entry n of the list's visible recordings. The table itself
// holds no texts.
class VwWidgetVideoListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    VwWidgetVideoListDelegate(VwWidgetVideoList *table, VwVideoFileList *list);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // Off while the list is being rebuilt: cells then show their background only.
    void setActive(bool active) { m_active = active; }
    bool isActive() const { return m_active; }

    // The text a cell shows; empty for a row beyond the list.
    QString cellText(int row, int column) const;

    // The highlighted row (the table's selection) and the table's current row; -1 for none.
    int selectedRow = -1;
    int currentRow = -1;

private:
    VwVideoItem *itemAt(int row) const;
    // The type column, kept apart: it is the one place a recording's state
    // beyond its name and time is shown.
    void paintType(QPainter *painter, const QRect &rect, VwVideoItem *item) const;

    VwVideoFileList *m_list = nullptr;
    QFont m_textFont;
    QFont m_typeFont;
    bool m_active = true;
};
