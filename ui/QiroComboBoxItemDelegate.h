#pragma once

// Paints the entries of QiroComboBox's pop-up list. A separator (user data kSeparatorMarker) is one
// horizontal line across the middle of its row. A heading (a disabled entry whose text begins and ends
// with "-") is its text centred, in the disabled text colour. Any other entry is its text, left-aligned
// and vertically centred 22 pixels from the row's left edge, in the text colour (disabled entries: the
// disabled text colour; selected enabled entries: the highlighted-text colour on the highlight); a checked
// entry has the style's menu check mark in the row's first 21 pixels.
//
// Threads: GUI thread only.

#include <QStyledItemDelegate>

class QiroComboBoxItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The user-role data that marks an entry as a separator.
    static constexpr int kSeparatorMarker = 4242;

    explicit QiroComboBoxItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
