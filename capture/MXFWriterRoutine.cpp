// The writer routine of the capture object: set-up, the drain of the ring into the MXF file, the end.

#include "capture/PlayoutChecks.h"
#include "capture/QIROSRTransfer.h"
#include "conform/Conformance.h"
#include "mxf/DurableFile.h"
#include "mxf/FileOutputStream.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "mxf/TransferIdentification.h"
#include "preview/QIROSRDecoder.h"
#include "recorder/FileInfoDecoding.h"
#include "source/QIROSRTransferSource.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"
#include "verify/FrameMd5.h"
#include "verify/TransferReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstring>
#include <vector>

// What one run of the writer routine owns: the file, the MXF library's objects, the preview decoder and
// the silence that pads a frame whose block brought too little sound.
struct QIROSRTransfer::WriterSession {
    boost::shared_ptr<FileOutputStream> stream;
    boost::shared_ptr<SMDKWriter> writer;
    boost::shared_ptr<QIROSRTransferSource> source;
    boost::shared_ptr<SMDKFooterPartitionOffsetRewriter> rewriter;
    boost::shared_ptr<SMDKDriver> driver;
    std::unique_ptr<QIROSRDecoder> decoder;
    uint32_t soundChannels = 0;
    // By channel: each channel's view must stay as set until the driver has written the edit unit.
    std::vector<std::vector<uint8_t>> paddedSound;
    // What each frame handed to the library should read back as, and its lead-in time code.
    std::vector<FrameChecksum> checksums;
    std::vector<uint32_t> timeCodes;
    // NAME.framemd5 as it is built, when it was asked for.
    std::unique_ptr<FrameMd5List> frameMd5;
    std::vector<std::span<const uint8_t>> soundElements;
    // The sound check, fed with each frame's sound as it is handed on.
    std::optional<SoundLevels> soundLevels;
    // Frames whose sound arrived short, by channel.
    std::vector<DamagedFrame> damagedFrames;
    // Set once the play-out was refused (another clip, or short sound with setStrict): nothing more is
    // written and the file is never finished.
    bool refused = false;
    QDateTime started = QDateTime::currentDateTimeUtc();
    // Why the folder could not be synced after the file took its final name: the file is finished all the
    // same.
    QString finishedWarning;
};

namespace {

// The header of NAME.framemd5: the tool, and the streams as the file declares them.
FrameMd5Layout frameMd5Layout(const QIROSRTransferSource &source, uint32_t soundChannels) {
    const boost::shared_ptr<SMDKMasterMetadata> metadata = source.packageMetadata();
    FrameMd5Layout layout;
    layout.software = QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion();
    layout.editRateNumerator = metadata->editRate().numerator;
    layout.editRateDenominator = metadata->editRate().denominator;
    // An interlaced picture is stored as two fields: the frame has twice the stored lines.
    layout.width = metadata->storedSize().first;
    layout.height = metadata->storedSize().second * (metadata->isProgressive() ? 1 : 2);
    layout.aspectNumerator = metadata->aspectRatio().first;
    layout.aspectDenominator = metadata->aspectRatio().second;
    layout.soundChannels = soundChannels;
    if (soundChannels > 0)
        layout.soundSamplingRate = metadata->soundSamplingRate(0).numerator;
    layout.soundSampleBytes = payload::kSoundSampleBytes;
    return layout;
}

} // namespace

void QIROSRTransfer::MXFWriterThread() {
    // Whatever the MXF library or the stream throws ends this transfer as failed, never the process.
    try {
        writeClip();
    } catch (const std::exception &error) {
        failTransfer(QString("writing the MXF file failed: %1").arg(error.what()));
    } catch (...) {
        failTransfer("writing the MXF file failed");
    }
    stopFlag.store(1);
}

void QIROSRTransfer::writeClip() {
    framesWritten = 0;
    if (mode == kModeWithPreview || mode == kModeWithoutPreview) {
        writeFile = true;
        previewEnabled = mode == kModeWithPreview;
    } else if (mode == kModePreviewOnly) {
        writeFile = false;
        previewEnabled = true;
    }
    const uint32_t quality = uint32_t(clip.codec);
    if (!FrameAssembler::frameBytesFor(quality)) {
        odprintf("Compress Quality Not recognized %d", clip.codec);
        failTransfer(QString("the clip's compression quality %1 is not known").arg(clip.codec));
        return;
    }
    if (clip.durationFrames == 0) {
        failTransfer("the clip has no frames");
        return;
    }
    if (!output) {
        failTransfer("no destination folder");
        return;
    }
    // 23.98 gives 24, 29.97 gives 30, 59.94 gives 60; a rate below one frame a second previews every frame.
    previewInterval = std::max<int32_t>(int32_t(clip.frameRate + 0.5), 1);

    WriterSession session;
    session.checksums.reserve(clip.durationFrames);
    session.timeCodes.reserve(clip.durationFrames);
    session.soundChannels = std::min<uint32_t>(clip.rawTail[kRawTailSoundChannels], payload::kSoundChannels);
    session.paddedSound.resize(session.soundChannels);
    session.soundLevels.emplace(session.soundChannels, clip.dropFrame != 0);
    FrameAssembler::Settings settings;
    settings.quality = quality;
    settings.frameCount = clip.durationFrames;
    settings.soundChannels = session.soundChannels;
    settings.samplesInFrame = [this](uint64_t position) { return samplesInFrame(position); };
    FrameAssembler assembler(settings, [this, &session](const AssembledFrame &frame) {
        // A restart would play the same clip again: a wrong play-out fails, it is no drop.
        if (frame.number == 0)
            if (const std::optional<QString> problem = otherClipPlayed(clip, frame.timeCode)) {
                session.refused = true;
                failTransfer(*problem);
            }
        if (session.refused)
            return;
        handOnFrame(frame, session);
        if (observer)
            observer(frame);
    });

    if (!startPlayback()) {
        failTransfer(
            QString("the recorder did not start playing %1").arg(QString::fromStdString(clip.fileName)));
        return;
    }
    if (!openOutput(session))
        return;

    // A failed write ends here, where the stream can tell a full disk from other causes.
    try {
        while (stopFlag.load() == 0) {
            QIROAVDataBuffer *slot = captureRing.BeginConsume();
            if (slot == nullptr)
                break;
            const FrameAssembler::BlockResult result = assembler.addBlock(slot->buffer);
            captureRing.EndConsume();
            if (result == FrameAssembler::BlockResult::Unreadable)
                continue;
            noteProgress();
            framesWritten = assembler.framesAssembled();
            cutLastFrame.store(assembler.awaitsRestOfLastFrame() ? kLastFrameCut : kNoCutFrame);
            if (result == FrameAssembler::BlockResult::Finished)
                stopFlag.store(1);
            emit percentTransferCompleteSignal(
                int(double(framesWritten) / double(clip.durationFrames) * 100));
        }
        odprintf("done MXFWriter::Thread1");
        // The stall limit passed while the rest of the clip's last frame was awaited: its picture was short.
        if (cutLastFrame.load() == kCutFrameStalled)
            assembler.endOnCutFrame();
        endOutput(session, assembler);
    } catch (const std::exception &error) {
        failTransfer(writeFailure(session, QString("writing the MXF file failed: %1").arg(error.what())));
    }
    odprintf("done MXFWriter::Thread");
}

// Creates the folder, opens the file and builds the MXF library's objects and the preview decoder. False,
// with openFileErrorSignal(path), when the file cannot be opened: nothing is handed the failed stream.
bool QIROSRTransfer::openOutput(WriterSession &session) {
    session.decoder = std::make_unique<QIROSRDecoder>(clip.sampling);
    connect(session.decoder.get(), &QIROSRDecoder::newFrameSignal, this, &QIROSRTransfer::newFrameSignal,
            Qt::DirectConnection);
    if (imageReceiver != nullptr && imageReceiver->metaObject()->indexOfSlot("updateFrame(QImage,bool)") >= 0)
        connect(session.decoder.get(), SIGNAL(newFrameSignal(QImage, bool)), imageReceiver,
                SLOT(updateFrame(QImage, bool)));
    // A preview touches no file: not even a leftover in-progress file of an earlier transfer.
    if (!writeFile)
        return true;
    for (const QString &replacement : output->replacements)
        odprintf("%s", replacement.toUtf8().constData());
    // A folder that cannot be created shows as a file that cannot be opened; one created but not synced
    // fails the transfer.
    if (const std::optional<QString> problem = makeFolders(output->folder);
        problem && QFileInfo(output->folder).isDir()) {
        failTransfer(*problem);
        return false;
    }
    // Written under its in-progress name (replacing a leftover of an earlier try); only a complete file is
    // renamed to its final name.
    // The bulk of the file goes past the page cache where the file system allows it (see
    // FileOutputStream.h); a descriptor handed in by a test is written buffered.
    const QByteArray partName = QFile::encodeName(output->partFile);
    const int buffered = outputOpener ? outputOpener(output->partFile) : openForWriting(partName.constData());
    const int direct = outputOpener || buffered < 0 ? -1 : openForDirectWriting(partName.constData());
    session.stream = boost::make_shared<FileOutputStream>(buffered, direct);
    if (!session.stream->good()) {
        odprintf("Can't Open File %s", output->partFile.toUtf8().constData());
        if (claimReport())
            emit openFileErrorSignal(output->partFile);
        stopFlag.store(1);
        return false;
    }
    session.writer = createSMDKWriter(session.stream);
    const IdentificationRecord identification =
        transferIdentification(char(clip.rawTail[kRawTailFormatLetter]));
    session.source = sourceFactory ? sourceFactory(identification, clip)
                                   : boost::make_shared<QIROSRTransferSource>(identification, clip);
    std::vector<SMDKUserComment> comments;
    for (const auto &[name, value] : userMetadata)
        comments.push_back({name.toStdU16String(), value.toStdU16String()});
    session.source->setUserComments(std::move(comments));
    session.source->initialize();
    session.rewriter = boost::make_shared<SMDKFooterPartitionOffsetRewriter>(session.stream, session.writer);
    session.driver = createSMDKDriver(session.source);
    session.driver->attachWriter(session.rewriter);
    if (frameMd5)
        session.frameMd5 = std::make_unique<FrameMd5List>(
            output->frameMd5File + kInProgressSuffix, frameMd5Layout(*session.source, session.soundChannels));
    return true;
}

// Hands one frame to the source and has the driver write it; every previewInterval frames the picture
// also goes to the preview decoder.
void QIROSRTransfer::handOnFrame(const AssembledFrame &frame, WriterSession &session) {
    if (writeFile) {
        QIROSRTransferSource &source = *session.source;
        FrameChecksum &checksum = session.checksums.emplace_back();
        session.timeCodes.push_back(frame.timeCode);
        lastFrameHandedOn.store(uint64_t(session.timeCodes.size()) << 32 | frame.timeCode);
        checksum.picture = checksumOf(frame.picture);
        source.setPictureData(frame.picture.data(), uint32_t(frame.picture.size()));
        const uint32_t bytes = uint32_t(source.soundSamplesForEditUnit()) * payload::kSoundSampleBytes;
        session.soundElements.clear();
        for (uint32_t k = 0; k < session.soundChannels; ++k) {
            std::span<const uint8_t> sound = frame.sound[k];
            if (sound.size() < bytes) {
                padShortSound(frame, k, bytes, session);
                if (session.refused)
                    return;
                sound = session.paddedSound[k];
            }
            sound = sound.first(std::min<size_t>(sound.size(), bytes));
            checksum.sound.push_back(checksumOf(sound));
            session.soundElements.push_back(sound);
            source.setSoundData(k, sound.data(), uint32_t(sound.size()));
        }
        session.soundLevels->addFrame(frame.timeCode, session.soundElements);
        source.setTimestamp(frame.timeCode);
        // Without data items in the block the view is emptied, so no stale item of an earlier block is
        // written again.
        if (frame.dataItemsPresent)
            source.setDataItem(frame.dataItem.data(), uint32_t(frame.dataItem.size()));
        else
            source.setDataItem(nullptr, 0);
        const std::span<const uint8_t> dataElement = frame.dataItemsPresent && !frame.dataItem.empty()
                                                         ? frame.dataItem
                                                         : std::span<const uint8_t>(kEmptyDataElement);
        checksum.data = checksumOf(dataElement);
        if (session.frameMd5)
            session.frameMd5->addEditUnit(frame.picture, session.soundElements, dataElement);
        source.advance();
        session.driver->processFrame();
    }
    if (previewEnabled && frame.number % uint64_t(previewInterval) == 0)
        session.decoder->decode(frame.picture.data(), uint32_t(frame.picture.size()));
}

// The block brought less sound of `channel` than the edit unit takes: the rest is silence, and the frame is
// listed as damaged. With setStrict the transfer fails instead.
void QIROSRTransfer::padShortSound(const AssembledFrame &frame, uint32_t channel, uint32_t bytes,
                                   WriterSession &session) {
    const std::span<const uint8_t> sound = frame.sound[channel];
    odprintf("short sound %u of %u bytes, channel %u", unsigned(sound.size()), bytes, channel);
    const DamagedFrame damage{frame.number, timecodeText(frame.timeCode, clip.dropFrame != 0), channel + 1,
                              uint32_t((bytes - sound.size()) / payload::kSoundSampleBytes)};
    if (strict) {
        session.refused = true;
        failTransfer(QString("the sound of frame %1 (%2) arrived short: %3 samples of channel %4 are missing")
                         .arg(damage.frame)
                         .arg(damage.timeCode)
                         .arg(damage.samplesMissing)
                         .arg(damage.channel));
        return;
    }
    session.damagedFrames.push_back(damage);
    std::vector<uint8_t> &padded = session.paddedSound[channel];
    padded.assign(bytes, 0);
    std::copy(sound.begin(), sound.end(), padded.begin());
}

// Ends the file: its duration is the frames written, and only a transfer that wrote every frame of the
// clip finishes it and puts it under its final name. Then the one report of the transfer; a damaged
// picture ends it as a drop.
void QIROSRTransfer::endOutput(WriterSession &session, const FrameAssembler &assembler) {
    const bool complete = assembler.finished() && !assembler.wrongPicture() && !session.refused;
    if (writeFile) {
        session.source->markEnd(uint32_t(framesWritten));
        session.source->advance();
        if (complete)
            session.driver->finish();
        session.stream->close();
    }
    if (const std::optional<WrongPicture> &picture = assembler.wrongPicture()) {
        {
            const std::lock_guard guard(dropCauseLock);
            dropCause =
                wrongPictureText(clip, *picture, *FrameAssembler::frameBytesFor(uint32_t(clip.codec)));
        }
        if (claimReport())
            emit droppedFrameSignal();
        return;
    }
    if (!complete)
        return;
    if (writeFile) {
        if (const std::optional<QString> problem = commitOutput(session)) {
            // A stop from outside during the checks is no failure: whoever asked is no longer listening.
            if (checksAbandoned.stop_requested())
                odprintf("%s", problem->toUtf8().constData());
            else
                failTransfer(*problem);
            return;
        }
    }
    shortSoundFrames.store(damagedFrameCount(session.damagedFrames));
    if (claimReport()) {
        if (!session.finishedWarning.isEmpty())
            emit transferWarningSignal(session.finishedWarning);
        emit transferCompleteSignal();
    }
}

// Why the file could not be written: a full disk, what the system said of a failed write, or `fallback`
// when the stream did not fail. A file the disk had no room for is closed and removed, so that its space
// comes back for what follows.
QString QIROSRTransfer::writeFailure(WriterSession &session, const QString &fallback) {
    const int cause = session.stream ? session.stream->error() : 0;
    if (cause == 0)
        return fallback;
    if (!isDiskFull(cause))
        return QString("writing %1 failed: %2")
            .arg(output->partFile, QString::fromLocal8Bit(std::strerror(cause)));
    session.stream->close();
    QFile::remove(output->partFile);
    return QString("disk full: no space left for %1 after %2 of %3 frames; its in-progress file was removed")
        .arg(output->file)
        .arg(framesWritten)
        .arg(clip.durationFrames);
}

// What was done to the file, for its report: the tries of the capture, the whole-file digest and the
// comparison of the read-back (`readBackEnded`), and the conformance check (now, as it has just passed).
std::vector<PreservationEvent> QIROSRTransfer::fileEvents(const WriterSession &session,
                                                          const QDateTime &written,
                                                          const QDateTime &readBackEnded,
                                                          bool uncached) const {
    const TransferAgents agents{QCoreApplication::applicationName() + " " +
                                    QCoreApplication::applicationVersion(),
                                boardName, volumeName(clip), operatorName};
    std::vector<PreservationEvent> events =
        captureEvents(history.drops, session.checksums.size(), written, agents);
    const QString pass = uncached ? "read back from the disk past the page cache"
                                  : "read back from the disk through the page cache, its pages dropped first";
    events.push_back({kDigestEvent, readBackEnded, true,
                      QString("SHA-256 of the whole file, %1; %2 of each frame's essence as written")
                          .arg(pass, kFrameChecksumAlgorithm),
                      agents.ofChecks()});
    if (verification)
        events.push_back({kFixityEvent, readBackEnded, true,
                          QString("every one of the %1 frames, %2, equals what was written")
                              .arg(session.checksums.size())
                              .arg(pass),
                          agents.ofChecks()});
    events.push_back({kValidationEvent, QDateTime::currentDateTimeUtc(), true,
                      "the file's structure passed the conformance check", agents.ofChecks()});
    return events;
}

// Puts the finished file under its final name once it is on disk. Why not, when it cannot be.
// With verification on, the file is first read back and every frame compared with what was handed on; a
// file that differs keeps its in-progress name. The SHA-256 file, the report and the framemd5 list are
// written and synced under in-progress names; the file they replace and every companion it had are removed
// before they take their final names, and the file takes its own last, so a file under its final name always
// has its own and never another's. A stop is heeded before each step.
std::optional<QString> QIROSRTransfer::commitOutput(WriterSession &session) {
    const QDateTime written = QDateTime::currentDateTimeUtc();
    if (session.stream->fail())
        return writeFailure(session, QString("closing %1 failed").arg(output->partFile));
    if (std::optional<QString> problem = syncFile(output->partFile))
        return problem;
    if (!session.stream->fallback().empty())
        odprintf("%s", session.stream->fallback().c_str());
    // One read of the file from the disk, past the page cache (buffered, its pages dropped, when it was
    // written so), gives the frame comparison and the whole-file SHA-256. A stop from outside gives it up, so
    // that the one who asked (a window closing, say) does not wait for a long file to be read through.
    const std::stop_token stop = checksAbandoned.get_token();
    const ReadBackResult readBackResult = fileReadBack(
        output->partFile, verification ? &session.checksums : nullptr, stop, session.stream->direct(), md5);
    if (stop.stop_requested())
        return QString("stopped while %1 was checked; it keeps that name").arg(output->partFile);
    if (readBackResult.problem && verification)
        return QString("verification failed: %1; the file is kept as %2")
            .arg(*readBackResult.problem, output->partFile);
    const std::optional<QString> &sha256 = readBackResult.sha256;
    if (!sha256)
        return QString("cannot read %1 back for its SHA-256").arg(output->partFile);
    const QDateTime readBackEnded = QDateTime::currentDateTimeUtc();
    const conform::ConformanceResult conformance =
        conform::checkFileConformance(output->partFile, conform::expectedEssenceOf(clip));
    if (!conformance.failures.empty())
        return QString("the file does not conform: %1; it is kept as %2")
            .arg(conformance.lines().join("; "), output->partFile);
    const PendingFile checksum{output->checksumFile + kInProgressSuffix, output->checksumFile};
    SyncedFileWriter checksumFile(checksum.inProgress);
    checksumFile.write(sha256sumLine(*sha256, output->file).toUtf8());
    if (std::optional<QString> problem = checksumFile.finish())
        return problem;

    TransferReport report;
    report.toolVersion = QCoreApplication::applicationVersion();
    report.clip = clip;
    report.file = output->file;
    report.started = session.started;
    report.ended = QDateTime::currentDateTimeUtc();
    const bool drop = clip.dropFrame != 0;
    report.startTimecode = timecodeText(session.timeCodes.front(), drop);
    report.endTimecode = timecodeText(session.timeCodes.back(), drop);
    report.drops = history.drops;
    report.restarts = history.restarts;
    report.fileSize = uint64_t(QFileInfo(output->partFile).size());
    report.checksums = session.checksums;
    if (!folderSyncSupported(output->folder))
        report.warnings << QString("the file system of %1 does not sync folders: a power cut may lose the "
                                   "names of the files just put in place")
                               .arg(output->folder);
    report.verified = verification;
    report.breaks = timecodeBreaks(session.timeCodes, uint32_t(previewInterval), drop);
    report.sha256 = *sha256;
    report.damagedFrames = session.damagedFrames;
    report.io = {session.stream->direct(), readBackResult.bypassedCache,
                 QString::fromStdString(session.stream->fallback())};
    report.conformance = conformance.lines();
    report.events = fileEvents(session, written, readBackEnded, readBackResult.bypassedCache);
    report.sound = session.soundLevels->result();
    {
        const std::lock_guard guard(finishedLock);
        soundResult = report.sound;
        digestResult = {*sha256, readBackResult.xxh128.value_or(QString()),
                        readBackResult.md5.value_or(QString())};
    }
    report.metadata = userMetadata;
    std::vector<PendingFile> companions{checksum};
    if (session.frameMd5) {
        if (const std::optional<QString> problem = session.frameMd5->commit())
            return problem;
        companions.push_back({output->frameMd5File + kInProgressSuffix, output->frameMd5File});
    }
    const PendingFile reportFile{output->reportFile + kInProgressSuffix, output->reportFile};
    if (const std::optional<QString> problem = writeReport(reportFile.inProgress, report))
        return problem;
    companions.push_back(reportFile);
    const CommitResult result =
        commitWithCompanions({output->partFile, output->file}, companions, output->companionFiles(), stop);
    if (!result.committed)
        return result.problem;
    if (result.problem) {
        odprintf("%s", result.problem->toUtf8().constData());
        session.finishedWarning = *result.problem;
    }
    return std::nullopt;
}
