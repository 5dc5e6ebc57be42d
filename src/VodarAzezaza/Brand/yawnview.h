#pragma once
// The brand face that yawns once each time it is shown: mouth closed for 0.4 s, opening
// in three steps of 0.15 s, held open 1.95 s, closed again. Under Reduce Motion it
// shows the open mouth (frame 3) and never moves.
//
// API
//   auto* face = new YawnView(4, parent);   a 16 by 16 face at 4 logical pixels a pixel
//   face->frame()                           the frame on screen now, 0 to 3
//
// The view owns its timer: it starts when the view is shown and stops when it is
// hidden, leaving the face closed for the next time.

#include <QTimer>
#include <QWidget>

class YawnView : public QWidget {
    Q_OBJECT
public:
    explicit YawnView(qreal unit, QWidget* parent = nullptr);

    int frame() const;
    // Runs the yawn `factor` times faster, so tests need not wait for it.
    void setPaceForTesting(double factor) { pace_ = factor; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void frameChanged(int frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setFrame(int frame);
    void step();

    qreal unit_;
    int frame_ = 0;
    // The next step of the yawn to take when the timer fires.
    int next_ = 0;
    double pace_ = 1;
    QTimer timer_;
};
