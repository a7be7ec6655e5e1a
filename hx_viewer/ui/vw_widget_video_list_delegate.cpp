#include "vw_widget_video_list_delegate.h"

#include "hx_font_substitute.h"
#include "vw_language.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_video_list.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <utility>

namespace {
const QColor kBackground(0x73, 0x73, 0x73);
const QColor kSelectedBackground(0x4C, 0x4C, 0x4C);
const QColor kText(Qt::white);
const QColor kSelectedText(0xC5, 0x94, 0x33);
// The mark of a recording a power loss cut off, in place of its type.
const QColor kDamagedText(0xFF, 0x7A, 0x5C);
constexpr int kFontPixels = 12;
constexpr int kTypeTextShift = 10;
constexpr int kCellPadding = 4;

QString typeText(const VwVideoItem *item)
{
    if (!item->isDamaged())
        return item->typeLabel();
    return VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE ? QStringLiteral("破損")
                                                                              : QStringLiteral("Damaged");
}

QFont fontOf(const QString &family)
{
    // Looked up once per table: the font database is slow to ask.
    const QString installed = HxFontSubstitute::resolve(family, QFontDatabase().families());
    QFont font(installed.isEmpty() ? family : installed);
    font.setPixelSize(kFontPixels);
    return font;
}
} // namespace

VwWidgetVideoListDelegate::VwWidgetVideoListDelegate(VwWidgetVideoList *table,
                                                     VwVideoFileList *list)
    : QStyledItemDelegate(table)
    , m_list(list)
    , m_textFont(QApplication::font())
    , m_typeFont(fontOf(QStringLiteral("MS PGothic")))
{
    // The columns were laid out for a face named "Monospace" that the systems
    // they were drawn on lack, where a narrow default face stood in. Here the
    // name resolves to a monospaced face far too wide, so the application face
    // is used, narrowed until the longest name and date fit their columns.
    m_textFont.setPixelSize(kFontPixels);
    const QFontMetrics metrics(m_textFont);
    int stretch = 100;
    const std::pair<const char *, int> widest[] = {
        {"NORM260415-081502", VwWidgetVideoList::COLUMN_NAME},
        {"2026-04-15 08:15:02", VwWidgetVideoList::COLUMN_DATE},
    };
    for (const auto &sample : widest) {
        const int room = VwWidgetVideoList::defaultColumnWidth(sample.second) - kCellPadding;
        stretch = qMin(stretch, 100 * room / qMax(1, metrics.horizontalAdvance(QLatin1String(sample.first))));
    }
    m_textFont.setStretch(stretch);
}

VwVideoItem *VwWidgetVideoListDelegate::itemAt(int row) const
{
    const QList<VwVideoItemPtr> &items = m_list->visibleItems();
    return row >= 0 && row < items.size() ? items.at(row).data() : nullptr;
}

QString VwWidgetVideoListDelegate::cellText(int row, int column) const
{
    VwVideoItem *item = itemAt(row);
    if (!item)
        return QString();
    switch (column) {
    case VwWidgetVideoList::COLUMN_NUMBER:
        return QString::number(row + 1);
    case VwWidgetVideoList::COLUMN_NAME:
        return item->displayName();
    case VwWidgetVideoList::COLUMN_DATE:
        return item->dateTimeText();
    case VwWidgetVideoList::COLUMN_SIZE:
        return item->sizeText();
    case VwWidgetVideoList::COLUMN_TYPE:
        return typeText(item);
    default:
        return QString();
    }
}

void VwWidgetVideoListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const int row = index.row();
    const bool selected = m_active && row == selectedRow;
    painter->fillRect(option.rect, selected ? kSelectedBackground : kBackground);
    VwVideoItem *item = m_active ? itemAt(row) : nullptr;
    if (!item)
        return;

    painter->save();
    painter->setPen(selected ? kSelectedText : kText);
    if (index.column() == VwWidgetVideoList::COLUMN_TYPE) {
        paintType(painter, option.rect, item);
    } else {
        painter->setFont(m_textFont);
        painter->drawText(option.rect, Qt::AlignCenter, cellText(row, index.column()));
    }
    painter->restore();
}

void VwWidgetVideoListDelegate::paintType(QPainter *painter, const QRect &rect,
                                          VwVideoItem *item) const
{
    painter->setFont(m_typeFont);
    if (item->isDamaged())
        painter->setPen(kDamagedText);
    painter->drawText(rect.adjusted(-kTypeTextShift, 0, 0, 0), Qt::AlignCenter, typeText(item));
}
