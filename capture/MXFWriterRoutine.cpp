// The writer routine of the capture object: set-up, the drain of the ring into the MXF file, the end.

#include "capture/QIROSRTransfer.h"
#include "capture/WriteMXFFileThread.h"
#include "conform/Conformance.h"
#include "mxf/DurableFile.h"
#include "mxf/FileOutputStream.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "mxf/TransferIdentification.h"
#include "preview/QIROSRDecoder.h"
#include "source/QIROSRTransferSource.h"
#include "threads/ThreadName.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"
#include "verify/FrameMd5.h"
#include "verify/TransferReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstring>
#include <future>
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
    QDateTime started = QDateTime::currentDateTimeUtc();
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
    FrameAssembler::Settings settings;
    settings.quality = quality;
    settings.frameCount = clip.durationFrames;
    settings.soundChannels = session.soundChannels;
    settings.samplesInFrame = [this](uint64_t position) { return samplesInFrame(position); };
    FrameAssembler assembler(settings, [this, &session](const AssembledFrame &frame) {
        handOnFrame(frame, session);
        if (observer)
            observer(frame);
    });

    startPlayback();
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
            if (result == FrameAssembler::BlockResult::Finished)
                stopFlag.store(1);
            emit percentTransferCompleteSignal(
                int(double(framesWritten) / double(clip.durationFrames) * 100));
        }
        odprintf("done MXFWriter::Thread1");
        endOutput(session, assembler);
    } catch (const std::exception &error) {
        failTransfer(writeFailure(session, QString("writing the MXF file failed: %1").arg(error.what())));
    }
    odprintf("done MXFWriter::Thread");
}

// Creates the folder, opens the file and builds the MXF library's objects and the preview decoder. False,
// with openFileErrorSignal(path), when the file cannot be opened: nothing is handed the failed stream.
bool QIROSRTransfer::openOutput(WriterSession &session) {
    for (const QString &replacement : output->replacements)
        odprintf("%s", replacement.toUtf8().constData());
    QDir().mkpath(output->folder);
    // Written under its in-progress name (replacing a leftover of an earlier try); only a complete file is
    // renamed to its final name.
    session.stream = boost::make_shared<FileOutputStream>(
        outputOpener ? outputOpener(output->partFile)
                     : openForWriting(QFile::encodeName(output->partFile).constData()));
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
    session.source->initialize();
    session.rewriter = boost::make_shared<SMDKFooterPartitionOffsetRewriter>(session.stream, session.writer);
    session.driver = createSMDKDriver(session.source);
    session.driver->attachWriter(session.rewriter);
    if (frameMd5 && writeFile)
        session.frameMd5 = std::make_unique<FrameMd5List>(
            output->frameMd5File + kInProgressSuffix, frameMd5Layout(*session.source, session.soundChannels));

    session.decoder = std::make_unique<QIROSRDecoder>(clip.sampling);
    connect(session.decoder.get(), &QIROSRDecoder::newFrameSignal, this, &QIROSRTransfer::newFrameSignal,
            Qt::DirectConnection);
    if (parent() != nullptr && parent()->metaObject()->indexOfSlot("updateFrame(QImage,bool)") >= 0)
        connect(session.decoder.get(), SIGNAL(newFrameSignal(QImage, bool)), parent(),
                SLOT(updateFrame(QImage, bool)));
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
                // The block brought less sound than the edit unit takes: the rest is silence.
                odprintf("short sound %u of %u bytes, channel %u", unsigned(sound.size()), bytes, k);
                std::vector<uint8_t> &padded = session.paddedSound[k];
                padded.assign(bytes, 0);
                std::copy(sound.begin(), sound.end(), padded.begin());
                sound = padded;
            }
            sound = sound.first(std::min<size_t>(sound.size(), bytes));
            checksum.sound.push_back(checksumOf(sound));
            session.soundElements.push_back(sound);
            source.setSoundData(k, sound.data(), uint32_t(sound.size()));
        }
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

// Ends the file: its duration is the frames written, and only a transfer that wrote every frame of the
// clip finishes it and puts it under its final name. Then the one report of the transfer.
void QIROSRTransfer::endOutput(WriterSession &session, const FrameAssembler &assembler) {
    const bool complete = assembler.finished() && !assembler.endedOnBadSplit();
    if (writeFile) {
        session.source->markEnd(uint32_t(framesWritten));
        session.source->advance();
        if (complete)
            session.driver->finish();
    }
    session.stream->close();
    if (!writeFile)
        QFile::remove(output->partFile);
    if (assembler.endedOnBadSplit()) {
        failTransfer(QString("frame %1 of %2 was split across two payload blocks whose parts do not make a "
                             "whole picture")
                         .arg(framesWritten)
                         .arg(clip.durationFrames));
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
    if (claimReport())
        emit transferCompleteSignal();
}

// Why the file could not be written: a full disk, what the system said of a failed write, or `fallback`
// when the stream did not fail. A file the disk had no room for is closed and removed, so that its space
// comes back for what follows.
QString QIROSRTransfer::writeFailure(WriterSession &session, const QString &fallback) {
    const int cause = session.stream->error();
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

// Puts the finished file under its final name once it is on disk. Why not, when it cannot be.
// With verification on, the file is first read back and every frame compared with what was handed on; a
// file that differs keeps its in-progress name. The SHA-256 file, the report and the framemd5 list are
// written and synced under in-progress names; the file they replace is removed before they take their final
// names, and the file takes its own last, so a file under its final name always has its own and never
// another's.
std::optional<QString> QIROSRTransfer::commitOutput(WriterSession &session) {
    if (session.stream->fail())
        return writeFailure(session, QString("closing %1 failed").arg(output->partFile));
    if (!syncFile(output->partFile))
        return QString("%1 could not be flushed to disk").arg(output->partFile);
    // The whole-file SHA-256 is taken on a thread of its own while this one reads the file back: both only
    // read the finished file, and on two cores the slower of them sets the time. Its CPU time counts as the
    // writer's. A stop from outside gives both up, so that the one who asked (a window closing, say) does
    // not wait for a long file to be read through.
    const std::stop_token stop = checksAbandoned.get_token();
    std::future<std::optional<QString>> hashing =
        std::async(std::launch::async, [file = output->partFile, stop] {
            const ThreadName name(WriteMXFFileThread::kThreadName);
            return sha256OfFile(file, stop);
        });
    std::optional<QString> unverified;
    if (verification)
        unverified = verifyFile(output->partFile, session.checksums, stop);
    const std::optional<QString> sha256 = hashing.get();
    if (stop.stop_requested())
        return QString("stopped while %1 was checked; it keeps that name").arg(output->partFile);
    if (unverified)
        return QString("verification failed: %1; the file is kept as %2").arg(*unverified, output->partFile);
    if (!sha256)
        return QString("cannot read %1 back for its SHA-256").arg(output->partFile);
    const conform::ConformanceResult conformance =
        conform::checkFileConformance(output->partFile, conform::expectedEssenceOf(clip));
    if (!conformance.failures.empty())
        return QString("the file does not conform: %1; it is kept as %2")
            .arg(conformance.lines().join("; "), output->partFile);
    const PendingFile checksum{output->checksumFile + kInProgressSuffix, output->checksumFile};
    QSaveFile checksumFile(checksum.inProgress);
    if (!checksumFile.open(QIODevice::WriteOnly) ||
        checksumFile.write(sha256sumLine(*sha256, output->file).toUtf8()) < 0 || !checksumFile.commit())
        return QString("cannot write %1: %2").arg(checksum.inProgress, checksumFile.errorString());

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
    report.verified = verification;
    report.breaks = timecodeBreaks(session.timeCodes, uint32_t(previewInterval), drop);
    report.sha256 = *sha256;
    report.conformance = conformance.lines();
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
    return commitWithCompanions({output->partFile, output->file}, companions);
}
