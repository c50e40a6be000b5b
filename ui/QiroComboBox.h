#pragma once

// The drop-down of the main window. Its pop-up list marks the current entry, and only it, with a check
// mark; it can hold separator lines and centred headings (QiroComboBoxItemDelegate.h) and per-row item
// flags (QiroComboBoxModel.h). The mouse wheel changes the entry only while the pointer is over the box, so
// scrolling a surrounding view never changes the selection. Style sheets select on its "cloaked" property
// (QiroComboBox[cloaked="true"]).
//
// Threads: GUI thread only.

#include "ui/QiroComboBoxModel.h"

#include <QComboBox>

class QiroComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(bool cloaked READ isCloaked WRITE setCloaked)

public:
    explicit QiroComboBox(QWidget *parent = nullptr);

    bool isCloaked() const { return cloaked; }
    // Sets the property and polishes the box again, so that style-sheet rules on it apply at once.
    void setCloaked(bool on);

    // The box's model, through which rows get their own flags.
    QiroComboBoxModel *comboModel() const { return model; }

    // on: every entry checkable and checked; off: every entry neither.
    void setAllChecked(bool on);
    // Inserts a separator entry (empty text, no icon, the separator marker as user data) at index.
    void insertSeparator(int index);

    // Opens the pop-up list with its frame in the list's colours, so that a style sheet that colours the
    // list colours the whole pop-up.
    void showPopup() override;

public slots:
    // Makes the entry at index the only checked (and checkable) one; an index outside the entries leaves
    // none checked and none checkable. Connected to currentIndexChanged.
    void indexHasChanged(int index);

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    void setChecked(int row, bool on);

    QiroComboBoxModel *model;
    bool cloaked = false;
};
