#pragma once

// The picture area of the main window. It shows a still image or the preview frames of a running transfer,
// scaled down to fit (by width when the image is wider than the widget, else by height when it is taller)
// and centred, and it owns the capture object of the running transfer: the window acquires the board,
// checks the input, starts and stops transfers through it. The capture object's decoder images reach
// updateFrame, since the widget is the capture object's parent.
//
// A stopped capture object is finished off the GUI thread (see RetiringTransfers.h): stopTransfer returns at
// once, while the object may still be syncing its file and holds the board until it is gone. Meanwhile
// finishing() is true and acquireBoard refuses to make another; stoppedTransfersFinished tells when the board
// is free again.
//
// It lives beside the window rather than with the decoder, because the capture engine it owns uses the
// decoder: the folders keep depending one way.
//
// Threads: GUI thread only; images from the writer thread arrive queued.

#include "app/RetiringTransfers.h"
#include "mxf/OutputPath.h"
#include "recorder/SRFileInfo.h"

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QIROSRTransfer;

class QIROSRTransferWidget : public QWidget {
    Q_OBJECT

public:
    explicit QIROSRTransferWidget(QWidget *parent = nullptr);

    // True when a capture object is held: an existing one is kept without touching the board, else a new
    // one for boardNumber is kept when it acquired its board. False (and none held) when the board is in use,
    // also by a stopped capture object still finishing.
    bool acquireBoard(uint16_t boardNumber, int portIndex);
    // True when a capture object is held and board 0 shows video format 19 on its SDI input 1.
    bool hasValidInput();
    // Hands the clip to the held capture object, written to `output` when given (else as setTransfer
    // names it) and copied to each of `furtherOutputs` (see QIROSRTransfer::setFurtherOutputPaths), and
    // starts its thread; without one it only prints a debug line.
    void startTransfer(const SRFileInfo &file, const std::string &folder,
                       const std::optional<OutputPath> &output, int32_t mode, int32_t portIndex,
                       const std::vector<OutputPath> &furtherOutputs = {});
    // Stops the held capture object and hands it over to be deleted off the GUI thread, which ends its
    // transfer and gives the board back; returns at once, holding none.
    void stopTransfer();
    // True while a stopped capture object is not yet gone (it still holds the board).
    bool finishing() const { return retiring.busy(); }
    // Blocks until every stopped capture object is gone; for the window's end.
    void waitForStoppedTransfers() { retiring.waitForAll(); }

    // The capture object held, or null.
    QIROSRTransfer *capture() const { return transfer; }
    // The picture shown, already scaled, and where paintEvent draws it.
    const QPixmap &shownPixmap() const { return pixmap; }
    QPoint pixmapOrigin() const;

signals:
    // Every stopped capture object is gone, the board free (after finishing() turned true).
    void stoppedTransfersFinished();

public slots:
    // Shows image, scaled to fit; clear erases the background before painting.
    void updateFrame(QImage image, bool clear);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap pixmap;
    QIROSRTransfer *transfer = nullptr; // child of this widget
    // Destroyed before the widget's children: it waits for the stopped capture objects, whose decoders may
    // still send images to updateFrame.
    RetiringTransfers retiring;
};
