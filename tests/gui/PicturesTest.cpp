// The small pictures painted into images, probed pixel by pixel.
#include "gui/Pictures.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <vector>

namespace {

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

TEST(Pictures, TheStatusMarkIsAFilledCircleInTheColourOfTheStatus) {
    const struct {
        int value;
        QColor colour;
    } cases[] = {{3, QColor(0, 255, 0)}, {4, QColor(255, 255, 0)}, {5, QColor(255, 0, 0)},
                 {7, QColor(255, 0, 0)}, {2, QColor(0, 0, 255)},   {10, QColor(0, 0, 255)}};
    for (const auto& c : cases) {
        QImage image = Blank(40, 18);
        QPainter painter(&image);
        oru::StatusMark::Paint(painter, QRect(5, 0, 18, 18), c.value);
        painter.end();
        // The circle is as high as the row less two pixels: its centre is
        // filled, the row's corner is not.
        EXPECT_EQ(image.pixelColor(5 + 8, 9), c.colour) << c.value;
        EXPECT_EQ(image.pixelColor(5, 0), QColor(Qt::white)) << c.value;
        EXPECT_EQ(image.pixelColor(30, 9), QColor(Qt::white)) << c.value;
    }
}

TEST(Pictures, TheGroupBoxHasAFrameAndAPlusThroughItsMiddle) {
    QImage image = Blank(20, 20);
    QPainter painter(&image);
    oru::GroupBox::Paint(painter, QRect(0, 0, 20, 20), Qt::black);
    painter.end();
    // The box spans (2, 2) to (10, 10); its middle is (6, 6).
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(6, 6), QColor(Qt::black));   // the plus
    EXPECT_EQ(image.pixelColor(4, 6), QColor(Qt::black));   // its bar
    EXPECT_EQ(image.pixelColor(6, 4), QColor(Qt::black));   // its stem
    EXPECT_EQ(image.pixelColor(4, 4), QColor(Qt::white));   // inside, off the plus
    EXPECT_EQ(image.pixelColor(3, 6), QColor(Qt::white));   // 2 pixels from the edge
    EXPECT_EQ(image.pixelColor(12, 6), QColor(Qt::white));  // outside
}

TEST(Pictures, TheWaitAnimationGoesBackAndForth) {
    oru::WaitSequence sequence;
    std::vector<int> steps;
    for (int i = 0; i < 14; ++i) {
        steps.push_back(sequence.Step());
    }
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1, 0, 1, 2}));
    // Each frame is a picture of its own.
    EXPECT_NE(oru::WaitPicture::Frame(0).toImage(), oru::WaitPicture::Frame(6).toImage());
}

}  // namespace
