#include "ui/QiroComboBoxItemDelegate.h"

#include <QApplication>
#include <QPainter>

namespace {

const QColor kSeparatorColour(55, 60, 64);
// The check mark takes the row from its left edge to 20 pixels in; the text begins 22 pixels in.
constexpr int kCheckMarkRight = 20;
constexpr int kTextLeft = 22;

bool isHeading(const QString &text, bool enabled) {
    return !enabled && text.startsWith(QLatin1Char('-')) && text.endsWith(QLatin1Char('-'));
}

QPalette::ColorGroup colourGroup(const QStyleOptionViewItem &option) {
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
}

} // namespace

QiroComboBoxItemDelegate::QiroComboBoxItemDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void QiroComboBoxItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const {
    const bool enabled = index.flags().testFlag(Qt::ItemIsEnabled);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect &rect = option.rect;
    painter->save();
    painter->setFont(option.font);

    if (index.data(Qt::UserRole) == QVariant(kSeparatorMarker)) {
        const int middle = (rect.top() + rect.bottom()) / 2;
        painter->setPen(kSeparatorColour);
        painter->drawLine(rect.left(), middle, rect.right(), middle);
    } else if (isHeading(text, enabled)) {
        painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
        painter->drawText(rect, Qt::AlignCenter, text);
    } else {
        const QPalette::ColorGroup group = colourGroup(option);
        QColor textColour = option.palette.color(enabled ? group : QPalette::Disabled, QPalette::Text);
        if (option.state.testFlag(QStyle::State_Selected) && option.state.testFlag(QStyle::State_Enabled)) {
            painter->fillRect(rect, option.palette.brush(group, QPalette::Highlight));
            textColour = option.palette.color(group, QPalette::HighlightedText);
        }
        if (index.data(Qt::CheckStateRole).toInt() == Qt::Checked) {
            QStyleOptionViewItem mark = option;
            mark.rect =
                QRect(QPoint(rect.left(), rect.top()), QPoint(rect.left() + kCheckMarkRight, rect.bottom()));
            mark.state |= QStyle::State_On;
            // The mark takes the entry's text colour; Fusion draws a mark that is on in the highlighted-text
            // colour.
            mark.palette.setBrush(QPalette::Text, textColour);
            mark.palette.setBrush(QPalette::HighlightedText, textColour);
            const QWidget *widget = option.widget;
            QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
            style->drawPrimitive(QStyle::PE_IndicatorMenuCheckMark, &mark, painter, widget);
        }
        painter->setPen(textColour);
        painter->drawText(QRect(QPoint(rect.left() + kTextLeft, rect.top()), rect.bottomRight()),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    painter->restore();
}
