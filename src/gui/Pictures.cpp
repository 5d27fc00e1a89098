#include "gui/Pictures.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace oru {

QColor StatusColor(int statusValue) {
    switch (statusValue) {
        case 3:
            return QColor(0, 255, 0);
        case 4:
            return QColor(255, 255, 0);
        case 5:
        case 6:
        case 7:
            return QColor(255, 0, 0);
        default:
            return QColor(0, 0, 255);
    }
}

void StatusMark::Paint(QPainter& painter, const QRect& rect, int statusValue) {
    const int diameter = std::max(rect.height() - 2, 2);
    const QRect circle(rect.left(), rect.top() + (rect.height() - diameter) / 2, diameter,
                       diameter);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(StatusColor(statusValue));
    painter.drawEllipse(circle);
    painter.restore();
}

void GroupBox::Paint(QPainter& painter, const QRect& rowRect, const QColor& frame) {
    const QRect box(rowRect.left() + 2, rowRect.top() + 2, kSize, kSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const int middleX = box.left() + kSize / 2;
    const int middleY = box.top() + kSize / 2;
    painter.drawLine(box.left() + 2, middleY, box.right() - 2, middleY);
    painter.drawLine(middleX, box.top() + 2, middleX, box.bottom() - 2);
    painter.restore();
}

QIcon TreeImage(int image) {
    QStyle* style = QApplication::style();
    switch (image) {
        case 0:
            return style->standardIcon(QStyle::SP_DirClosedIcon);
        case 1:
            return style->standardIcon(QStyle::SP_DirOpenIcon);
        case 3:
            return style->standardIcon(QStyle::SP_FileDialogNewFolder);
        case 4:
            return style->standardIcon(QStyle::SP_ComputerIcon);
        default:
            return style->standardIcon(QStyle::SP_DriveNetIcon);
    }
}

void WaitPicture::Paint(QPainter& painter, const QRect& rect, int frame) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF disk = QRectF(rect).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(QColor(64, 64, 64), 1.5));
    painter.setBrush(QColor(200, 200, 210));
    painter.drawEllipse(disk);
    // The marked sector sweeps half the disk across the seven frames.
    const int start = (150 - frame * 30) * 16;
    QPainterPath sector;
    sector.moveTo(disk.center());
    sector.arcTo(disk, start / 16.0, 40.0);
    sector.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 90, 200));
    painter.drawPath(sector);
    painter.setBrush(QColor(64, 64, 64));
    painter.drawEllipse(disk.center(), disk.width() / 10, disk.height() / 10);
    painter.restore();
}

QPixmap WaitPicture::Frame(int frame) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    Paint(painter, pixmap.rect(), frame);
    return pixmap;
}

int WaitSequence::Step() {
    index_ += direction_;
    if (index_ > WaitPicture::kFrames - 1) {
        index_ = WaitPicture::kFrames - 2;
        direction_ = -1;
    } else if (index_ < 0) {
        index_ = 1;
        direction_ = 1;
    }
    return index_;
}

}  // namespace oru
