#pragma once

// The preview decoder: turns one compressed picture of a transfer into an image for the preview, through the
// decoder library (preview/MP4DecoderApi.h) loaded at run time. The first decode loads the library and
// configures it from that picture, once; each decode then emits the picture at half size with every second
// row doubled (rows 1, 3, 5 ... repeat rows 0, 2, 4 ...): 960 x 540 for a 1920 x 1080 clip, 640 x 360 for a
// 1280 x 720 one. A larger picture shows its top left 960 x 540.
//
// Finding the library: first beside the application's executable, then in the installed tree's decoder
// folder relative to it (../lib/<arch>/vantrel, cmake/InstallLayout.cmake; both when a QCoreApplication
// exists), then wherever the system's loader looks (LD_LIBRARY_PATH and the library cache on Linux). The
// build places it beside every executable that calls vantrel_place_preview_decoder
// (platform/mp4decoder/CMakeLists.txt); an install puts it in the decoder folder.
//
// Failure: no library, no factory or release entry point, or no decoder object leaves the decoder inert:
// decode returns at once and no image is emitted; the transfer is not affected. So does a first picture the
// library does not report, or reports too large for the output buffer, so the image is never made from
// outside the decoder's output. A later picture that does not decode leaves the output zeroed, and its image
// is emitted all the same (dark green from 4:2:2, black from RGB).
//
// Threads: constructed and used in one thread (the writer thread); connect newFrameSignal through a queued
// connection to show the image in the GUI thread.

#include "preview/MP4DecoderApi.h"

#include <QImage>
#include <QLibrary>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

class QIROSRDecoder : public QObject {
    Q_OBJECT

public:
    // The largest image emitted.
    static constexpr int kImageWidth = 960;
    static constexpr int kImageHeight = 540;
    // The base name of the decoder library; the loader adds the system's prefix and suffix.
    static inline const QString kLibraryName = QStringLiteral("mp4decoder_dll");

    // decoderMode is the clip's sampling: 1 (4:4:4) asks for 16-bit planar RGB output, any other value for
    // 8-bit 4:2:2. libraryName replaces the library's base name (tests).
    explicit QIROSRDecoder(int32_t decoderMode, const QString &libraryName = kLibraryName);
    // Frees the decoder object through the library; the library stays loaded.
    ~QIROSRDecoder() override;

    // Decodes one picture of length bytes and emits newFrameSignal(image, true), unless the decoder is inert.
    void decode(const uint8_t *data, uint32_t length);

signals:
    void newFrameSignal(QImage image, bool clear);

private:
    void configure(const uint8_t *data, uint32_t length);
    bool loadLibrary();
    bool outputHoldsPreview() const;
    QImage imageFrom(const uint8_t *output) const;

    bool initialized = false;
    int32_t decoderMode;
    QString libraryName;
    QLibrary module;
    MP4decAPI *api = nullptr;
    DestroyMP4decAPIFunction destroy = nullptr;
    MP4decStatus status;
    MP4decConfig config;
    MP4decPictureInfo pictureInfo;
    std::array<uint32_t, 3> planeOffsets{};
    uint32_t outputSize = 0;
    // The emitted image's size, set from the first picture.
    int imageWidth = 0;
    int imageHeight = 0;
};
