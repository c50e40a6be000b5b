#pragma once

// The main window: a preview area, a progress bar, the start/stop button, a status line, the recorder's
// clip table with a check box per row, the transfer-mode selector, the choice of a framemd5 file beside each
// finished file, and the destination folder with the further folders each clip is also copied to.
//
// Clips: the table has a row for every clip the recorder lists that can be transferred (isListed, in the
// recorder's order); a clip that shares its name with another (see batch/SharedNames.h) has a warning mark
// on its name, kSharedNameNote its tool tip; a click anywhere in a row toggles its box; Ctrl+A and Ctrl+Z
// tick and untick every row; the context menu does both and rescans the recorder.
//
// Transfers: "Start Transfer" checks the destination folder (destinationProblem), refuses the ticked clips
// that cannot be transferred (clipProblem; the user may go ahead with the rest), checks that the other ticked
// clips' files fit in the folder (spaceProblem), then transfers them one after another, in table order,
// through the preview widget's capture object. The table's Status column follows each clip: queued,
// cueing, transferring with its percentage, verifying, restarts, finished (verified; with a warning mark
// when the sound check found silent or clipped channels, when sound arrived short and was padded, or when
// the folder could not be synced after the file was put in place, each told in the tool tip, and the
// warnings also in the log and the summary), failed with its reason
// (in full as the tool tip), stopped, skipped. A finished clip is unticked; a dropped frame starts the clip
// again while its restart budget lasts, and the report of the try that finishes lists the earlier tries'
// drops. A clip that fails (its file cannot be opened, the engine reports a failure, it keeps dropping
// frames) stays ticked and the batch goes on with the next; only what stops every clip ends the batch at
// once: the board in use, no valid input, the folder gone, a full disk (a board or input problem met by
// the first clip, before anything started, is told in its message box). No message box opens while a batch
// runs: when it ends, the summary dialog lists every clip of the batch, and the status line keeps a
// one-line summary. In-progress files left over by earlier runs are named in the status line and the
// summary. Each batch writes its log into the destination folder (BatchLog). The progress bar shows the
// clip's progress and its place in the batch; the status line the time left at the recorder's pace.
// "Stop Transfer" asks first; Yes ends the batch, whichever clip runs by then. The window is idle exactly
// when the button reads "Start Transfer". The cue and stall time-outs are settings of the window, and so is
// the operator's metadata (the "Metadata..." form), written into every file of its batches.
//
// Checks beside the next clip: when a batch writes files and no command is set to run after each clip (that
// command's promise is that the next clip starts only after it ran on a finished file), each clip's copies
// are handed over once written (QIROSRTransfer::setHandOverChecks) to a DeliveryLane of the window, which
// syncs, reads back, verifies and commits them on a thread of its own while the next clip plays out. The
// clip's Status reads "verifying" meanwhile, and the status line names it ("; verifying NAME" after the
// running clip, "Verifying NAME" while no clip plays). At most one written clip waits behind the one checked:
// the next clip starts only once the lane can take it. How a clip's checks end is recorded for it as a
// finished transfer's outcome is (a failed check fails that clip alone, the batch goes on), and the batch
// ends only once every clip handed over was delivered. Stop gives the checks up too: those clips are
// stopped, their files keep their in-progress names; closing the window gives them up without waiting. The
// command is looked at as each clip starts: a clip handed over runs none.
//
// Further destinations: "Add Folder" (through the folder chooser) adds folders each clip is also copied to
// from its one play-out (QIROSRTransfer::setFurtherOutputPaths), at most kMostCopies folders in all, kept
// between runs with the folder. The start refuses folders that cannot be written, or that are the same or
// nested (destinationsProblem); every copy lands at the path the naming template gives below its folder, the
// disk space is checked per file system, and the question about a finished file is asked per copy: a copy
// whose file is kept is not written, and the clip is skipped only when every copy's file is kept. A further
// folder gone by the time a clip starts fails that copy alone. When one of a clip's copies fails, the clip
// fails with a reason naming each failed copy ("the copy to DIR failed: ..."), and its finished copies stay
// finished: their files are in the summary, and each is in its own folder's ASC MHL history. The Status
// cell's tool tip names how each copy ended. The log, the hooks' VANTREL_DEST and the summary's folder are
// the first folder's.
//
// Completion hooks: two settings hold shell commands (see batch/CompletionHook.h), one run after each clip
// that finished or failed (not one stopped or skipped), one at the end of a batch that started a clip
// (before its summary). Each runs asynchronously, and the batch goes on when it has ended or was killed at
// its time limit; "Stop Transfer" meanwhile kills it and stops the batch. A hook that does not succeed shows
// in the clip's Status cell and tool tip, the log and the summary; it changes no outcome.
// Naming: the naming template (an editable list of presets, a setting of the window) is checked with the
// folder before a batch starts, and the clips are named by it before the disk space check (a clip it cannot
// name, or two clips it gives one file, stop the batch before it starts). Each clip is written to the path
// it was given then; a clip ticked while the batch runs is not part of it.
// The ASC MHL history (delivery/RunHistory.h): unless its setting is off, a batch that finished a file adds a
// generation to the folder's ascmhl/ (with MD5 too, and an author, as set), written when the batch ends,
// before its hook; the summary names it, or why it could not be written.
//
// Bags: with the "BagIt Bags" setting, each finished copy becomes a BagIt bag where its file would be (see
// delivery/BagLayout.h), naming the organization as set; the bag as a whole is what exists already and is
// asked about, and the history lists every file of it.
//
// The clip list: a reading the recorder broke off (or a control line that cannot be opened) keeps what was
// read, says so in the status line and in a message box that offers to rescan. No rescan while a transfer
// runs.
//
// A stopped transfer (Stop, the batch going on after a clip, the window closing) finishes off the GUI
// thread: the window returns at once, and the next clip waits, with "Stop Transfer" and a status line that
// says so, until the stopped transfer has finished its file and given the board back. Its signals are
// disconnected before it is handed over, and reports it had queued already arrive while no clip runs (the
// next one starts only once it is gone), which drops them.
//
// Every message box, the folder chooser and the summary go through WindowDialogs, which tests replace.
// Closing the window saves the settings and stops a running transfer; the window stays, saying so, until
// every stopped transfer has ended (threads ended, file committed or left in progress, board given back).
//
// Threads: GUI thread only; the capture object's signals arrive queued.

#include "app/BatchReport.h"
#include "app/FinishedFileChoice.h"
#include "app/WindowDialogs.h"
#include "batch/BatchLog.h"
#include "batch/CompletionHook.h"
#include "batch/RestartBudget.h"
#include "capture/QIROSRTransfer.h"
#include "delivery/BagLayout.h"
#include "delivery/ClipDelivery.h"
#include "delivery/RunHistory.h"
#include "recorder/SRFileList.h"
#include "verify/SoundLevels.h"

#include <QDialog>
#include <QModelIndex>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QItemSelectionModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStandardItem;
class QStandardItemModel;
class QTableView;
class QiroComboBox;
class QIROSRTransferWidget;
class DeliveryLane;
class FurtherFolderList;

class Vantrel : public QDialog {
    Q_OBJECT

public:
    // The clip table's column that tells each clip's state in the batch.
    static constexpr int kStatusColumn = 5;

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
    // Asks for a further destination folder and adds it to the list.
    void addDestinationFolder();
    // Opens the metadata form and keeps what the user confirms.
    void editMetadata();
    void tableContextPopup(const QPoint &pos);
    void checkFile(const QModelIndex &index);
    void getFileList();
    void checkAllFiles();
    void uncheckAllFiles();
    void transferComplete();
    // The running clip's copies are written: they are handed to the lane, and the next clip starts.
    void transferWritten();
    void droppedFrame();
    void percentTransferComplete(int percent);
    void openFileError(QString fileName);
    void transferFailed(QString reason);
    // Tells that the last reading of the clip list was incomplete and offers to rescan.
    void reportIncompleteList();

protected:
    // Closing: see endForClose; the window closes once every stopped transfer has ended.
    void done(int result) override;
    void timerEvent(QTimerEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A clip by its folder and file name.
    using ClipKey = std::pair<std::string, std::string>;
    // One destination's copy of a clip in the batch.
    struct ClipCopy {
        QString root;      // the destination folder
        OutputPath path;   // where the naming template put the clip below it
        bool kept = false; // its finished file was there already and is kept: it is not written
    };
    // The clip being transferred: its names and where it is written.
    struct RunningClip {
        std::string fileName;
        std::string secondName;
        // The clip's copies (by destination) this try writes, in the order the capture object has them.
        std::vector<size_t> written;
        // The copies not written because their folder was gone when the clip started, and why.
        std::map<size_t, QString> refused;
    };
    // A clip whose copies are written, with what the end of its checks records of it.
    struct WrittenClip {
        RunningClip clip;
        int restarts = 0;
        std::vector<ChannelLevels> sound;
        uint64_t shortSound = 0;
    };
    // The batch under way: the clips it ended already (finished, failed, refused) and its log.
    struct BatchRun {
        std::set<ClipKey> ended;
        // Whether a clip was handed to the capture object: only then does the batch end with a summary.
        bool clipStarted = false;
        QString leftoverNote;
        std::unique_ptr<BatchLog> log;
        // The clip whose hook runs; none while the batch's hook runs.
        std::optional<ClipKey> hookClip;
        // Set once the batch ends: why (see endBatch); its hook runs meanwhile.
        std::optional<QString> endedWhy;
        bool stopRequested = false;
        // Where each clip of the batch is written, one copy per destination (the first folder's first), as
        // the naming template gave it before the start.
        std::map<ClipKey, std::vector<ClipCopy>> outputs;
        // The generation the batch adds to each destination's ASC MHL history, by destination; none when
        // switched off.
        std::vector<std::unique_ptr<RunHistory>> histories;
        // Each copy as a BagIt bag, as the settings were at the start; nothing: files.
        std::optional<BagSettings> bag;
        // The clip that starts once a stopped transfer has given the board back.
        std::optional<ClipKey> awaitingBoard;
        // The clips handed to the lane and not delivered yet (they count as ended), by the lane's number for
        // them: the first is the one checked.
        std::map<int, WrittenClip> verifying;
        // Set once the batch is to end (why; the first reason given stands): no clip starts, and it ends
        // once the lane delivered its clips.
        std::optional<QString> ending;
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
    // The destination folder, then the further ones.
    QStringList destinationRoots() const;
    // The checks before a batch starts: where each clip's copies are written, or nothing (after telling the
    // user) when the batch is not to start.
    std::optional<std::map<ClipKey, std::vector<ClipCopy>>> checksBeforeStart();
    void beginBatch(std::map<ClipKey, std::vector<ClipCopy>> outputs);
    // Starts the first ticked clip the batch has not ended yet; ends the batch when none is left or when
    // the folder, the board or the input stops every clip.
    void startNextClip();
    void resetTransfer();
    // Every stopped transfer has ended: the clip waiting for the board starts, or the closing window closes.
    void boardGivenBack();
    // Ends the batch (as "the window was closed") and stops the running transfer.
    void endForClose();
    void connectTransferSignals();
    void disconnectTransferSignals();
    // Marks the running clip failed for why and goes on with the next, or ends the batch when why stops
    // every clip.
    void failClip(const QString &why);
    // Records `clip` failed for why (after `restarts` restarts) in the summary, the log and its row. With
    // several copies the reason names each copy not kept: the ones not written for their own reasons, the
    // others for why. Returns the facts its hook is told.
    ClipHookFacts recordFailure(const RunningClip &clip, int restarts, const QString &why);
    // Records how each copy of a written clip ended (`result`) in the summary, the log, the histories and
    // its row, and unticks it when it finished. Returns the facts its hook is told.
    ClipHookFacts recordDelivered(const WrittenClip &written, const ClipDelivered &result);
    // The lane delivered the clip it numbered `number`: it is recorded, and the batch goes on.
    void clipChecked(int number, const ClipDelivered &result);
    // Gives up the lane's checks: every clip handed over and not delivered is stopped.
    void stopChecks();
    // Records the clip stopped by the user.
    void markStopped(const ClipKey &clip);
    // No clip plays while a written one is checked: the status line names it, and Stop stays.
    void waitForChecks();
    // `line` with the clip the lane checks named after it, when it checks one.
    QString withChecks(const QString &line) const;
    // Fails the clip about to start for a reason that stops every clip, and ends the batch: with the box
    // (title, text) before any clip started, silently after.
    void failBatch(const SRFileInfo &clip, const QString &reason, const QString &title, const QString &text);
    // Ends the batch (why: empty when it ran through) once the lane delivered its clips: runs the batch's
    // hook, then finishBatch.
    void endBatch(const QString &why = QString());
    // Adds the batch's generation to each folder's ASC MHL history, when it has one to add.
    void recordHistory();
    // Logs the batch's end, shows the summary and returns to idle.
    void finishBatch();
    // Runs the hook of the clip that just ended, when one is set, then goes on with the next clip.
    void afterClip(const ClipKey &clip, const ClipHookFacts &facts);
    void hookEnded(const CompletionHook::Result &result);
    static ClipKey keyOf(const SRFileInfo &file) { return {file.secondName, file.fileName}; }
    static ClipKey keyOf(const RunningClip &clip) { return {clip.secondName, clip.fileName}; }
    // The Status cell of the clip's row, or null when it has none.
    QStandardItem *statusOf(const ClipKey &clip) const;
    // Sets the clip's Status text and tool tip (the text when tip is empty), without a mark.
    void setStatus(const ClipKey &clip, const QString &text, const QString &tip = QString());
    // The status line while a clip runs: its name, its place, the time left.
    void showRunningStatus(int percent);
    void updateFolderLabel();
    void showSplash();
    QMessageBox::StandardButton message(QMessageBox::Icon icon, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons);

    // The column-0 item of every row in row order, each with its file's place in fileList.
    std::vector<std::pair<size_t, QStandardItem *>> rows() const;
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
    // The folders each clip is also copied to, with the "Add Folder" button.
    FurtherFolderList *furtherFolders;
    QiroComboBox *transferModeSelector;
    // Whether each finished file also gets NAME.framemd5.
    QCheckBox *frameMd5Box;
    // The folder's ASC MHL history: whether a batch adds a generation, with MD5 too, and its author.
    QCheckBox *hashListBox;
    QCheckBox *md5Box;
    QLineEdit *authorEdit;
    QCheckBox *bagBox;
    QLineEdit *organizationEdit;
    // The naming template (see batch/NamingTemplate.h), editable, with presets.
    QComboBox *namingBox;
    QWidget *folderRow;
    // Seconds the recorder may take to start a clip's play-out, and without pictures once they flow.
    QSpinBox *cueTimeoutBox;
    QSpinBox *stallTimeoutBox;
    // The completion hooks' shell commands; empty: none.
    QLineEdit *clipDoneCommand;
    QLineEdit *batchDoneCommand;
    CompletionHook *hook;
    // Whom the running hook's lines in the log name: REEL/CLIP, or batch.
    QString hookOwner;
    // Opens the metadata form; its pairs go into every clip of the window's batches.
    QPushButton *metadataButton;
    MetadataPairs batchMetadata;
    QIROSRTransferWidget *preview;
    int titleTimerId = 0;
    SRFileList fileList;
    // Why the last reading of the clip list is incomplete; empty when it is whole.
    QString listProblem;

    // Checks and commits the written clips of the window's batches (see above), numbering them from 1.
    DeliveryLane *lane;
    int laneClips = 0;
    std::unique_ptr<WindowDialogs> dialogs;
    std::optional<RunningClip> running;
    ClipTries tries;
    BatchReport batch;
    std::optional<BatchRun> batchRun;
    FinishedFileChoice finishedFiles;
    // Set once closing waits for a stopped transfer: the result the window closes with.
    std::optional<int> closingWith;
};
