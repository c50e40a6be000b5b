#pragma once

// A batch of clips transferred one after another, in the given order, each through its own capture object
// on board 0: the engine's side of a batch that a front end starts and watches. A clip that drops a frame
// starts again from its beginning while its restart budget lasts, then fails; a clip that fails for any
// reason is given up and the batch goes on with the next. Each clip ends with exactly one of clipFinished,
// clipSkipped and clipFailed; batchFinished follows the last. A preview-only batch writes nothing, so a clip
// whose file exists is not refused and names no file.
//
// Completion hooks (see CompletionHook): with onClipDone set, the command runs after each clip's end
// signal, once its file and report are final, and the next clip starts only when it has ended; with
// onBatchDone set, that command runs once after the last clip, before batchFinished. Their variables are
// listed at hookVariables. A hook's output arrives as hookOutput, a hook that does not succeed as
// hookFailed; neither changes the clip's outcome. After stop() no clip hook runs; the batch hook does, with
// the status "stopped", and a further stop() ends it.
//
// Copies: with further destinations, every clip is written to each from its one play-out (see
// QIROSRTransfer::setFurtherOutputPaths). Each destination's copy is checked before the start on its own
// (the folder, a finished file already there) and ends on its own: Outcome::copies. A clip finishes when
// every copy finished (or was skipped for its finished file); when one copy failed the clip fails, naming
// each failed copy, and the copies that finished stay finished.
//
// Checks beside the next clip: unless switched off (or a clip hook is set, whose promise is that the next
// clip waits for it), a clip whose every frame is written is handed to a DeliveryLane, and the next clip
// starts playing while the last one is read back, checked and committed (see delivery/DeliveryLane.h): a
// batch at the recorder's pace then takes the material's duration plus cueing. At most one written clip
// waits behind the one being checked; the next clip starts only then. A clip still ends with exactly one
// of clipFinished and clipFailed, once its checks ended: so clipStarted of the next clip may come before
// it, and clipChecking tells when its checks begin. A stop gives the checks up: the clips checked or
// waiting fail with the reason "stopped" and keep their in-progress names. batchFinished comes once every
// clip has ended.
//
// The ASC MHL history (see delivery/RunHistory.h): unless switched off, every file the batch finished goes
// into one new generation of each destination's history, written after the last clip and before the batch
// hook, and announced as hashListRecorded (or hashListFailed). Skipped clips are not in it.
//
// Threads: the GUI or main thread, with a running event loop; the capture objects' signals arrive queued.

#include "batch/CompletionHook.h"
#include "batch/NamingTemplate.h"
#include "batch/RestartBudget.h"
#include "batch/UserMetadata.h"
#include "delivery/BagLayout.h"
#include "delivery/DeliveryLane.h"
#include "delivery/RunHistory.h"
#include "recorder/SRFileInfo.h"
#include "verify/TransferReport.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QIROSRTransfer;

class TransferBatch : public QObject {
    Q_OBJECT

public:
    struct Options {
        QString destination;
        // Where further copies of each clip go, beside the destination's (see the class comment); at most
        // QIROSRTransfer::kMostCopies destinations in all, none the same as or inside another.
        QStringList furtherDestinations;
        int mode = 1; // 0 file and preview, 1 file only, 2 preview only
        int portIndex = 0;
        int restarts = RestartBudget::kDefaultRestarts;
        // A clip whose finished file exists already fails unless this is set; the old file and its report
        // are then replaced once the new one is complete and synced (see commitWithCompanions).
        bool overwrite = false;
        // A clip whose finished file exists and agrees with its report and SHA-256 file (see
        // finishedFileDisagreement) is skipped and counts as finished; one that does not agree is treated
        // as above.
        bool skipExisting = false;
        // Read each finished file back and compare it with what was written before it gets its final name.
        bool verify = true;
        // Check and commit each written clip while the next one plays (see the class comment).
        bool checksBesideNextClip = true;
        // Write NAME.framemd5 beside each finished file.
        bool frameMd5 = false;
        // Fail a clip whose sound arrived short, rather than padding it with silence.
        bool strict = false;
        // Without a first payload block for this long once play-out was asked for (the recorder cues the
        // clip meanwhile), a clip fails.
        std::chrono::milliseconds cueLimit{30000};
        // Without a further payload block for this long once blocks flow, a clip fails.
        std::chrono::milliseconds stallLimit{5000};
        // The operator the reports' events name; empty: none.
        QString operatorName;
        // Shell commands run when a clip and when the batch are done; empty: none.
        QString onClipDone;
        QString onBatchDone;
        std::chrono::milliseconds hookLimit = CompletionHook::kDefaultLimit;
        // Where each clip is written below the destination (the n-th clip of the batch is {index} n, its
        // {meta:NAME} fields from its metadata). A clip the template cannot name fails.
        NamingTemplate naming;
        // The operator's metadata; each clip's file and report get UserMetadata::pairsFor(its name).
        UserMetadata metadata;
        // How the run's files are recorded in the destination's ASC MHL history; nothing: not at all.
        std::optional<HashListOptions> hashList = HashListOptions{};
        // Each copy as a BagIt bag where the file would be, named as the file without ".mxf" (see
        // delivery/BagLayout.h); nothing: the file with its companions. The file a clip has finished
        // (outputFile, copies, skipExisting, overwrite, the hooks' file and report) is then the one in the
        // bag's data/, and the bag as a whole is what exists or is replaced.
        std::optional<BagSettings> bag;
    };

    // The index that hookOutput and hookFailed give for the batch hook.
    static constexpr int kBatchHook = -1;

    // How one destination's copy of a clip ended.
    struct CopyOutcome {
        QString destination;
        QString file;          // where it was (to be) written; empty when it could not be named
        bool finished = false; // also for a copy skipped for its finished file
        bool skipped = false;
        QString reason; // why it failed
    };

    struct Outcome {
        bool finished = false; // also for a clip skipped for its finished file
        bool skipped = false;
        QString warning;    // of a finished clip: what the user should know (see transferWarningSignal)
        QString outputFile; // where the clip was written (also for a failed clip, when it got that far);
                            // empty for a preview, which writes nothing
        QString reason;     // why the clip failed
        int restarts = 0;
        std::vector<DroppedPicture> drops; // where each try that dropped a picture stood
        uint64_t framesWithShortSound = 0; // of the finished file: padded with silence
        std::vector<ChannelLevels> sound;  // of the finished file: the sound check, by channel
        FileDigests digests;               // of the finished file, from its read-back
        std::vector<CopyOutcome> copies;   // one per destination, in order; none for a preview
    };

    TransferBatch(std::vector<SRFileInfo> clips, Options options, QObject *parent = nullptr);
    // Stops a running transfer.
    ~TransferBatch() override;

    // Starts the first clip. Call once.
    void start();
    // Ends the running transfer; the clip and those after it fail with the reason "stopped". A running hook
    // is stopped (and counts as failed).
    void stop();

    const std::vector<SRFileInfo> &clips() const { return queue; }
    const std::vector<Outcome> &outcomes() const { return results; }
    bool allFinished() const;
    // Whether every hook that ran succeeded.
    bool hooksSucceeded() const { return failedHooks == 0; }
    // Why a file could not go into the hash list, or the history not be written; empty: no problem.
    const QStringList &hashListProblems() const { return historyProblems; }
    // The variables of the hook of the clip at index, or of the batch (kBatchHook), as the outcomes stand
    // (see clipHookVariables, batchHookVariables): a clip skipped for its finished file is "skipped" and
    // counts among the finished clips too.
    QMap<QString, QString> hookVariables(int index) const;

signals:
    void clipStarted(int index, int attempt);
    void clipProgress(int index, int percent);
    void clipRestarting(int index, int restart);
    // Every frame of the clip is written; its read-back and checks begin (see the class comment).
    void clipChecking(int index);
    void clipFinished(int index, QString outputFile);
    // The clip's finished file was there already and agrees with its report; it was left as it is.
    void clipSkipped(int index, QString outputFile);
    void clipFailed(int index, QString reason);
    // A line a hook wrote (index: the clip's, or kBatchHook).
    void hookOutput(int index, QString line);
    // A hook that did not succeed, and why (see CompletionHook::Result).
    void hookFailed(int index, QString problem);
    // The run's generation of the destination's ASC MHL history was written, as `manifest`.
    void hashListRecorded(QString manifest);
    void hashListFailed(QString problem);
    void batchFinished();

private:
    void startClip();
    // Where the index-th clip of the queue is written below `root`, as the naming template names it;
    // nothing with why not.
    std::optional<OutputPath> outputOf(size_t index, const QString &root, QString &error) const;
    // Where the finished file and its companions of `output` are: in its bag's data/ when copies are bags.
    OutputPath finishedPaths(const OutputPath &output) const;
    QStringList destinationRoots() const;
    // Checks each destination's copy of the current clip before its start: the copies to write go into
    // `writing`. False when the clip was ended here (no copy left to write).
    bool prepareCopies();
    // Each copy of the clip at `index` that the try wrote (the destinations `wrote`) ended as `delivered`
    // tells; each finished one goes into its destination's history. True when every copy finished.
    bool settleCopies(size_t index, const std::vector<size_t> &wrote,
                      const std::vector<DeliveredCopy> &delivered);
    // The reason of a clip some of whose copies failed: each failed copy and why.
    QString copiesReason(size_t index) const;
    // The running try wrote every frame: its copies go to the lane, and the next clip starts.
    void written();
    void delivered(int index, const ClipDelivered &result);
    void launch();
    void dropped();
    void skipClip();
    void finishClip(bool finished, const QString &reason);
    // Sets the outcome of the clip at index and sends its end signal.
    void concludeClip(size_t index, bool finished, const QString &reason);
    void endTransfer();
    // Runs the clip hook of the clip at index when there is one, then starts the next clip.
    void afterClip(int index);
    void endBatch();
    void recordHistory();
    bool writesFiles() const;

    std::vector<SRFileInfo> queue;
    const Options options;
    std::vector<Outcome> results;
    size_t current = 0;
    int attempt = 0;
    bool stopping = false;
    RestartBudget budget;
    std::unique_ptr<QIROSRTransfer> transfer;
    std::vector<size_t> writing;        // the destinations (by index) the current try writes, the first first
    std::unique_ptr<DeliveryLane> lane; // with checks beside the next clip
    std::map<size_t, std::vector<size_t>> checking; // clips handed to the lane, with the destinations written
    bool awaitingLane = false;                      // the next clip, or the batch's end, waits for the lane
    std::vector<std::unique_ptr<RunHistory>> histories; // by destination, while the run writes hash lists
    QStringList historyProblems;
    CompletionHook hook;
    int hookIndex = 0; // whose hook runs
    int failedHooks = 0;
    bool ended = false; // batchFinished was sent
};
