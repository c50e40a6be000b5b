// The writer routine of the capture object: set-up, the drain of the ring into the MXF file, the end.

#include "capture/PlayoutChecks.h"
#include "capture/QIROSRTransfer.h"
#include "conform/ExpectedEssence.h"
#include "mxf/CopiesOutputStream.h"
#include "mxf/DurableFile.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "mxf/TransferIdentification.h"
#include "preview/QIROSRDecoder.h"
#include "recorder/FileInfoDecoding.h"
#include "source/QIROSRTransferSource.h"
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

// What one run of the writer routine owns: the files (one for each copy), the MXF library's objects, the
// preview decoder and the silence that pads a frame whose block brought too little sound.
struct QIROSRTransfer::WriterSession {
    // Where each copy goes, outputPath()'s first, and why a copy could not be opened.
    std::vector<OutputPath> copies;
    std::vector<std::optional<QString>> openProblems;
    boost::shared_ptr<CopiesOutputStream> stream;
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
    // NAME.framemd5 beside each copy as it is built, when it was asked for.
    std::unique_ptr<FrameMd5List> frameMd5;
    std::vector<size_t> frameMd5Copies; // the copy of each of its lists
    std::vector<std::span<const uint8_t>> soundElements;
    // The sound check, fed with each frame's sound as it is handed on.
    std::optional<SoundLevels> soundLevels;
    // Frames whose sound arrived short, by channel.
    std::vector<DamagedFrame> damagedFrames;
    // Set once the play-out was refused (another clip, or short sound with setStrict): nothing more is
    // written and the file is never finished.
    bool refused = false;
    QDateTime started = QDateTime::currentDateTimeUtc();
    // What the user should know of a finished file: its folder could not be synced after it took its final
    // name, a further copy failed.
    QStringList finishedWarnings;
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
    if (!openCopies(session))
        return false;
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
    if (frameMd5) {
        QStringList lists;
        for (size_t k = 0; k < session.copies.size(); ++k)
            if (!session.openProblems[k]) {
                lists << session.copies[k].frameMd5File + kInProgressSuffix;
                session.frameMd5Copies.push_back(k);
            }
        session.frameMd5 =
            std::make_unique<FrameMd5List>(lists, frameMd5Layout(*session.source, session.soundChannels));
    }
    return true;
}

// Opens each copy's in-progress file, the copies in one stream. False, with the transfer's one report, when
// no copy could be opened.
bool QIROSRTransfer::openCopies(WriterSession &session) {
    for (const QString &replacement : output->replacements)
        odprintf("%s", replacement.toUtf8().constData());
    session.copies.push_back(*output);
    session.copies.insert(session.copies.end(), furtherOutputs.begin(), furtherOutputs.end());
    std::vector<std::unique_ptr<FileOutputBuffer>> files;
    bool folderUnsynced = false;
    for (const OutputPath &copy : session.copies) {
        std::optional<QString> &problem = session.openProblems.emplace_back();
        // A folder that cannot be created shows as a file that cannot be opened; one created but not synced
        // fails the copy.
        if (std::optional<QString> folderProblem = makeFolders(copy.folder);
            folderProblem && QFileInfo(copy.folder).isDir()) {
            problem = folderProblem;
            folderUnsynced = true;
        }
        // Written under its in-progress name (replacing a leftover of an earlier try); only a complete file
        // is renamed to its final name. The bulk of the file goes past the page cache where the file system
        // allows it (see FileOutputStream.h); a descriptor handed in by a test is written buffered.
        const QByteArray partName = QFile::encodeName(copy.partFile);
        const int buffered = problem        ? -1
                             : outputOpener ? outputOpener(copy.partFile)
                                            : openForWriting(partName.constData());
        if (buffered < 0 && !problem)
            problem = QString("cannot open the output file %1: %2")
                          .arg(copy.partFile, QString::fromLocal8Bit(std::strerror(errno)));
        const int direct = outputOpener || buffered < 0 ? -1 : openForDirectWriting(partName.constData());
        files.push_back(std::make_unique<FileOutputBuffer>(buffered, direct));
    }
    session.stream = boost::make_shared<CopiesOutputStream>(std::move(files));
    if (!session.stream->good()) {
        if (session.copies.size() > 1) {
            QStringList problems;
            for (const std::optional<QString> &problem : session.openProblems)
                problems << *problem;
            failTransfer("no copy could be opened: " + problems.join("; "));
            return false;
        }
        if (folderUnsynced) {
            failTransfer(*session.openProblems.front());
            return false;
        }
        odprintf("Can't Open File %s", output->partFile.toUtf8().constData());
        if (claimReport())
            emit openFileErrorSignal(output->partFile);
        stopFlag.store(1);
        return false;
    }
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
        // The time code stamp the library puts into the frame's system item, as the source now gives it.
        const SMDKUserTimestamp stamp = source.userTimestamp();
        checksum.timeStamp = checksumOf(stamp);
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
        if (writeFile && handOverChecks) {
            emit transferWrittenSignal();
            return;
        }
        if (!session.finishedWarnings.isEmpty())
            emit transferWarningSignal(session.finishedWarnings.join("; "));
        emit transferCompleteSignal();
    }
}

// Why copy `copy` failed while it was written: it could not be opened, its disk was full (its in-progress
// file is then removed, so that its space comes back for what follows), or what the system said of a failed
// write, seek or close. Nothing while it is fine.
std::optional<QString> QIROSRTransfer::copyWriteProblem(WriterSession &session, size_t copy) const {
    if (session.openProblems.at(copy))
        return session.openProblems[copy];
    const int cause = session.stream->error(copy);
    if (cause == 0)
        return std::nullopt;
    const OutputPath &path = session.copies[copy];
    if (!isDiskFull(cause))
        return QString("writing %1 failed: %2")
            .arg(path.partFile, QString::fromLocal8Bit(std::strerror(cause)));
    QFile::remove(path.partFile);
    return QString("disk full: no space left for %1 after %2 of %3 frames; its in-progress file was removed")
        .arg(path.file)
        .arg(framesWritten)
        .arg(clip.durationFrames);
}

// Why the file could not be written: why each copy failed (see copyWriteProblem), or `fallback` when the
// stream did not fail.
QString QIROSRTransfer::writeFailure(WriterSession &session, const QString &fallback) {
    if (!session.stream || session.stream->error() == 0)
        return fallback;
    // Every copy's file is closed first, so that a full disk's files can be removed.
    session.stream->close();
    QStringList problems;
    for (size_t k = 0; k < session.copies.size(); ++k)
        problems << copyWriteProblem(session, k).value_or(QString());
    return problems.join("; ");
}

// What the delivery stage needs of the clip: every copy as the writer left it and the facts of the clip.
PendingDelivery QIROSRTransfer::pendingDelivery(WriterSession &session) {
    const QDateTime written = QDateTime::currentDateTimeUtc();
    std::vector<std::optional<QString>> frameMd5Problems(session.copies.size());
    if (session.frameMd5) {
        const std::vector<std::optional<QString>> lists = session.frameMd5->commit();
        for (size_t k = 0; k < lists.size(); ++k)
            frameMd5Problems[session.frameMd5Copies[k]] = lists[k];
    }
    PendingDelivery pending;
    for (size_t k = 0; k < session.copies.size(); ++k) {
        WrittenCopy &copy = pending.copies.emplace_back();
        copy.path = session.copies[k];
        copy.directWrites = session.stream->direct(k);
        copy.fallback = QString::fromStdString(session.stream->fallback(k));
        copy.problem = copyWriteProblem(session, k);
        if (!copy.problem && frameMd5Problems[k])
            copy.problem = frameMd5Problems[k];
        copy.frameMd5 = session.frameMd5 != nullptr;
        if (!copy.fallback.isEmpty())
            odprintf("%s", session.stream->fallback(k).c_str());
    }

    TransferReport &report = pending.report;
    report.toolVersion = QCoreApplication::applicationVersion();
    report.clip = clip;
    report.started = session.started;
    const bool drop = clip.dropFrame != 0;
    report.startTimecode = timecodeText(session.timeCodes.front(), drop);
    report.endTimecode = timecodeText(session.timeCodes.back(), drop);
    report.drops = history.drops;
    report.restarts = history.restarts;
    pending.frames = std::move(session.checksums);
    report.verified = verification;
    report.breaks = timecodeBreaks(session.timeCodes, uint32_t(previewInterval), drop);
    report.damagedFrames = session.damagedFrames;
    report.sound = session.soundLevels->result();
    report.metadata = userMetadata;
    DeliverySettings &settings = pending.settings;
    settings.agents = {QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion(),
                       boardName, volumeName(clip), operatorName};
    report.events = captureEvents(history.drops, pending.frames.size(), written, settings.agents);
    pending.compareFrames = verification;
    settings.md5 = md5 || (bag && bag->md5);
    settings.bag = bag;
    settings.essence = conform::expectedEssenceOf(clip);
    settings.readBack = fileReadBack;
    return pending;
}

// Hands every copy, closed, to the delivery stage, which checks and commits each on its own (see
// delivery/CopyDelivery.h), or keeps them for the owner to hand on (setHandOverChecks). Why not, when no
// copy could be committed; a further copy that failed is a warning of the finished file.
std::optional<QString> QIROSRTransfer::commitOutput(WriterSession &session) {
    PendingDelivery pending = pendingDelivery(session);
    if (handOverChecks) {
        const std::lock_guard guard(finishedLock);
        soundResult = pending.report.sound;
        writtenClip = std::move(pending);
        return std::nullopt;
    }
    // A stop from outside gives the checks up, so that the one who asked (a window closing, say) does not
    // wait for long files to be read through.
    ClipDelivered delivered = deliverClip(pending, checksAbandoned.get_token());
    if (delivered.failure)
        return delivered.failure;
    for (const DeliveredCopy &copy : delivered.copies)
        if (copy.committed && !copy.problem.isEmpty())
            odprintf("%s", copy.problem.toUtf8().constData());
    session.finishedWarnings = delivered.warnings;
    const std::lock_guard guard(finishedLock);
    soundResult = pending.report.sound;
    copyResults = std::move(delivered.copies);
    return std::nullopt;
}
