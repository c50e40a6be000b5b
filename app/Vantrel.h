#pragma once

// The main window: a preview area, a progress bar, the start/stop button, a status line, the recorder's
// clip table with a check box per row, the transfer-mode selector, the choice of a framemd5 file beside each
// finished file, and the destination folder.
//
// Clips: the table has a row for every clip the recorder lists that can be transferred (isListed, in the
// recorder's order); a click anywhere in a row toggles its box; Ctrl+A and Ctrl+Z tick and untick every
// row; the context menu does both and rescans the recorder.
//
// Transfers: "Start Transfer" first checks that the ticked clips' files fit in the destination folder
// (spaceProblem; a message box with both figures, and nothing starts, when they do not), then transfers the
// ticked clips one after another, in table order, through the
// preview widget's capture object. A finished clip is unticked; a dropped frame starts the clip again
// while its restart budget lasts, and the report of the try that finishes lists the earlier tries' drops
// (a clip unticked while it ran is not started again: the next ticked clip starts with tries of its own). A
// clip that fails (the board is in use, there is no valid input, its file cannot be opened, the engine
// reports a failure, or it keeps dropping frames) is named with its reason in a message box, stays ticked and
// ends the batch. When a batch ends, the status line says which files were finished and which clips failed.
// "Stop Transfer" asks first. The window is idle exactly when the button reads "Start Transfer".
//
// Every message box and the folder chooser go through WindowDialogs, which tests replace. Closing the
// window saves the three settings and stops a running transfer (threads ended, board given back).
//
// Threads: GUI thread only; the capture object's signals arrive queued.

#include "app/BatchReport.h"
#include "app/FinishedFileChoice.h"
#include "app/WindowDialogs.h"
#include "batch/RestartBudget.h"
#include "capture/QIROSRTransfer.h"
#include "recorder/SRFileList.h"

#include <QDialog>
#include <QModelIndex>
#include <QPoint>
#include <QString>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QGroupBox;
class QItemSelectionModel;
class QLabel;
class QProgressBar;
class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QTableView;
class QiroComboBox;
class QIROSRTransferWidget;

class Vantrel : public QDialog {
    Q_OBJECT

public:
    explicit Vantrel(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~Vantrel() override;

    // Display name of capture board 0, or "No Boards Installed".
    static QString currentBoardName();
    // Replaces the message boxes and the folder chooser.
    void setDialogs(std::unique_ptr<WindowDialogs> replacement);

public slots:
    void boardChanged(int index);
    void startAndStopTransfer();
    void chooseDestinationFolder();
    void tableContextPopup(const QPoint &pos);
    void checkFile(const QModelIndex &index);
    void getFileList();
    void checkAllFiles();
    void uncheckAllFiles();
    void transferComplete();
    void droppedFrame();
    void percentTransferComplete(int percent);
    void openFileError(QString fileName);
    void transferFailed(QString reason);

protected:
    void timerEvent(QTimerEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The clip being transferred: its names and the file it is written to.
    struct RunningClip {
        std::string fileName;
        std::string secondName;
        QString outputFile;
    };
    // The tries of one clip: its restart budget and the drops of its earlier tries, for its report. They
    // start afresh whenever another clip starts, so that no clip inherits another's.
    struct ClipTries {
        std::string fileName;
        std::string secondName;
        RestartBudget budget;
        TransferHistory history;
    };

    void buildControls();
    void buildTable();
    void buildLayout();
    void buildActions();
    void applyStyleSheets();
    void connectControls();
    void loadSettings();
    void saveSettings() const;

    bool isIdle() const;
    // Starts the first ticked clip after the checks; ends the batch when a check fails or none is ticked.
    void startNextClip();
    void resetTransfer();
    void connectTransferSignals();
    void disconnectTransferSignals();
    // Names the clip and the reason in a box, returns to idle and ends the batch.
    void failClip(const QString &reason);
    void endBatch();
    void updateFolderLabel();
    void showSplash();
    QMessageBox::StandardButton message(QMessageBox::Icon icon, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons);

    // The column-0 item of every row in row order, each with its file's place in fileList.
    std::vector<std::pair<size_t, QStandardItem *>> rows() const;
    std::vector<SRFileInfo> checkedClips() const;
    std::optional<QString> spaceProblemOfCheckedClips() const;
    void setAllRows(Qt::CheckState state);

    QTableView *fileTable;
    QStandardItemModel *fileModel;
    QItemSelectionModel *fileSelection;
    QAction *checkAllAction;
    QAction *uncheckAllAction;
    std::unique_ptr<QiroComboBox> portSelector; // never shown
    QPushButton *startStopButton;
    QProgressBar *progressBar;
    QLabel *statusLine;
    QGroupBox *optionsGroup;
    QPushButton *folderButton;
    QLabel *folderLabel;
    QString destinationFolder;
    QiroComboBox *transferModeSelector;
    // Whether each finished file also gets NAME.framemd5.
    QCheckBox *frameMd5Box;
    QWidget *folderRow;
    QIROSRTransferWidget *preview;
    int titleTimerId = 0;
    SRFileList fileList;

    std::unique_ptr<WindowDialogs> dialogs;
    std::optional<RunningClip> running;
    ClipTries tries;
    BatchReport batch;
    FinishedFileChoice finishedFiles;
};
