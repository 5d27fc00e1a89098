// The picture that plays while a download runs: bytes travelling from the
// host to the array, redrawn by its own timer. Transparent, centred in the
// frame it is given.
#pragma once

#include <QTimer>
#include <QWidget>

namespace flashpane {

class BytesAnimation : public QWidget {
    Q_OBJECT

  public:
    explicit BytesAnimation(QWidget* parent = nullptr);

    void Play();
    void Stop();
    bool Playing() const { return timer_.isActive(); }

    // Draws one frame into rect (tests paint it into an image).
    static void PaintFrame(QPainter& painter, const QRect& rect, int frame);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace flashpane
