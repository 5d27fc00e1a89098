#include "tools/firmware/BytesAnimation.h"

#include <QPainter>

namespace flashpane {

namespace {

constexpr int kFrameMs = 80;
constexpr int kBytes = 6;
constexpr int kSteps = 24;

}  // namespace

BytesAnimation::BytesAnimation(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMinimumSize(200, 40);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kSteps;
        update();
    });
}

void BytesAnimation::Play() {
    frame_ = 0;
    timer_.start(kFrameMs);
}

void BytesAnimation::Stop() {
    timer_.stop();
}

void BytesAnimation::PaintFrame(QPainter& painter, const QRect& rect, int frame) {
    // The host on the left, the array on the right, bytes in between.
    const int boxWidth = rect.height() * 2 / 3;
    const QRect host(rect.left(), rect.top(), boxWidth, rect.height());
    const QRect array(rect.right() - boxWidth, rect.top(), boxWidth, rect.height());
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.setBrush(QColor(200, 200, 210));
    painter.drawRect(host.adjusted(1, 1, -1, -1));
    painter.drawRect(array.adjusted(1, 1, -1, -1));
    const int span = array.left() - host.right();
    const int size = rect.height() / 4;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 120, 200));
    for (int i = 0; i < kBytes; ++i) {
        const int step = (frame + i * kSteps / kBytes) % kSteps;
        const int x = host.right() + span * step / kSteps;
        painter.drawRect(x, rect.center().y() - size / 2, size, size);
    }
}

void BytesAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintFrame(painter, rect().adjusted(4, 4, -4, -4), frame_);
}

}  // namespace flashpane
