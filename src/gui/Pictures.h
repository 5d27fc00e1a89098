// The small pictures of the graphical manager, each a painter that takes
// what it shows and a rectangle, so a test can paint it into a QImage and
// look at its pixels.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRect>

class QPainter;

namespace oru {

// The colour of a status value: 3 green, 4 yellow, 5 to 7 red, any other
// blue.
QColor StatusColor(int statusValue);

// The status mark of a row: a filled circle as high as the rectangle less
// 2 pixels, at its left edge, centred vertically.
struct StatusMark {
    static void Paint(QPainter& painter, const QRect& rect, int statusValue);
};

// The group box of a row that stands for several arrays: a 9 x 9 box at
// (left + 2, top + 2) framed in the button-shadow colour with a plus sign
// through its middle, 2 pixels from its edges.
struct GroupBox {
    static constexpr int kSize = 9;
    static void Paint(QPainter& painter, const QRect& rowRect, const QColor& frame);
};

// The images of the host tree: 0 a user view, 1 a selected user view, 3 the
// "<<New Host View>>" item, 4 the local host view, 5 the other protected
// views (16 x 16).
QIcon TreeImage(int image);

// The seven pictures of the wait dialog's animation (index 0 to 6): a disk
// whose marked sector moves on with the index.
struct WaitPicture {
    static constexpr int kFrames = 7;
    static constexpr int kSize = 32;
    static void Paint(QPainter& painter, const QRect& rect, int frame);
    static QPixmap Frame(int frame);
};

// The back-and-forth order of the animation: up by one until it passes 6,
// then on down from 5; below 0 on up from 1.
class WaitSequence {
  public:
    int Index() const { return index_; }
    int Step();

  private:
    int index_ = 0;
    int direction_ = 1;
};

}  // namespace oru
