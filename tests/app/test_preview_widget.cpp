// The preview widget: scaling and placing of the images it shows, and holding the capture object.

#include "app/QIROSRTransferWidget.h"
#include "capture/QIROSRTransfer.h"
#include "tests/app/WindowFixture.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using windowtest::WindowTest;

QImage filled(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

class PreviewWidgetTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        widget.resize(640, 480);
    }
    // The widget as painted, and whether the pixel at (x, y) is the image's red.
    bool redAt(int x, int y) {
        const QImage shown = widget.grab().toImage();
        return shown.pixelColor(x, y) == QColor(Qt::red);
    }
    QIROSRTransferWidget widget;
};

TEST_F(PreviewWidgetTest, ScalesByWidthFirstAndCentres) {
    widget.updateFrame(filled(960, 540), true);
    EXPECT_EQ(widget.shownPixmap().size(), QSize(640, 360));
    EXPECT_EQ(widget.pixmapOrigin(), QPoint(0, 60));
    EXPECT_FALSE(redAt(320, 59));
    EXPECT_TRUE(redAt(320, 60));
    EXPECT_TRUE(redAt(320, 419));
    EXPECT_FALSE(redAt(320, 420));

    // As wide as the widget: not scaled by width, but by height when taller.
    widget.updateFrame(filled(640, 960), true);
    EXPECT_EQ(widget.shownPixmap().size(), QSize(320, 480));
    EXPECT_EQ(widget.pixmapOrigin(), QPoint(160, 0));

    // Wide and tall: by width only, drawn from the top and cut at the bottom.
    widget.updateFrame(filled(1280, 1920), true);
    EXPECT_EQ(widget.shownPixmap().size(), QSize(640, 960));
    EXPECT_EQ(widget.pixmapOrigin(), QPoint(0, 0));

    // Smaller: unscaled, centred.
    widget.updateFrame(filled(100, 50), false);
    EXPECT_EQ(widget.shownPixmap().size(), QSize(100, 50));
    EXPECT_EQ(widget.pixmapOrigin(), QPoint(270, 215));
    EXPECT_TRUE(widget.testAttribute(Qt::WA_OpaquePaintEvent));
    widget.updateFrame(filled(100, 50), true);
    EXPECT_FALSE(widget.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(PreviewWidgetTest, HoldsOneCaptureObjectUntilStopped) {
    widget.stopTransfer();
    EXPECT_EQ(widget.capture(), nullptr);
    EXPECT_FALSE(widget.hasValidInput());
    widget.startTransfer(SRFileInfo{}, "out", std::nullopt, 0, 0);
    EXPECT_EQ(widget.capture(), nullptr);

    ASSERT_TRUE(widget.acquireBoard(0, 0));
    QIROSRTransfer *held = widget.capture();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->parent(), &widget);
    EXPECT_TRUE(widget.hasValidInput());
    // A second acquire keeps the object, and the board stays held by it.
    EXPECT_TRUE(widget.acquireBoard(0, 0));
    EXPECT_EQ(widget.capture(), held);
    EXPECT_FALSE(transfertest::boardReleased());

    // Stopped, it is deleted off the GUI thread; until it is gone (which the GUI thread learns from its
    // events) the board is not taken again.
    QSignalSpy finished(&widget, &QIROSRTransferWidget::stoppedTransfersFinished);
    widget.stopTransfer();
    EXPECT_EQ(widget.capture(), nullptr);
    EXPECT_TRUE(widget.finishing());
    EXPECT_FALSE(widget.acquireBoard(0, 0));
    EXPECT_EQ(widget.capture(), nullptr);
    ASSERT_TRUE(finished.wait(kWaitMs));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(widget.finishing());
    EXPECT_TRUE(transfertest::boardReleased());
    ASSERT_TRUE(widget.acquireBoard(0, 0));
    widget.stopTransfer();
    widget.waitForStoppedTransfers();
    EXPECT_TRUE(transfertest::boardReleased());
}

TEST_F(PreviewWidgetTest, RefusesABoardInUse) {
    windowtest::OtherApplication other;
    ASSERT_TRUE(other.held);
    EXPECT_FALSE(widget.acquireBoard(0, 0));
    EXPECT_EQ(widget.capture(), nullptr);
}

TEST_F(PreviewWidgetTest, SeesNoValidInputWhenTheRecorderIsNotConnected) {
    install(QJsonArray{transfertest::clip("SHOT01", 10, 0, 2, false)}, QJsonObject{{"sdiConnected", false}});
    ASSERT_TRUE(widget.acquireBoard(0, 0));
    EXPECT_FALSE(widget.hasValidInput());
}

} // namespace
