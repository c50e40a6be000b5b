#pragma once

// The folders a batch also copies every clip to, beside the window's destination folder: one row each with
// its path and a button that removes it, in the order they were added. The list holds at most `most`
// folders; its "Add Folder" button (addButton(), which the window places beside its folder row) is enabled
// only while there is room. Choosing a folder is the window's: it answers the button's clicked signal and
// hands the folder chosen to add().
//
// Threads: GUI thread only.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;

class FurtherFolderList : public QWidget {
    Q_OBJECT

public:
    FurtherFolderList(qsizetype most, QWidget *parent = nullptr);

    QPushButton *addButton() const { return adder; }
    const QStringList &folders() const { return list; }
    // Replaces the list (the settings' copy of it); empty names are dropped, and folders past `most`.
    void setFolders(const QStringList &folders);
    // Appends folder; nothing when it is empty or the list is full.
    void add(const QString &folder);

private:
    void showList();

    qsizetype most;
    QStringList list;
    QPushButton *adder;
    // One row per place in the list, shown while the list reaches it.
    std::vector<QWidget *> rows;
    std::vector<QLabel *> labels;
};
