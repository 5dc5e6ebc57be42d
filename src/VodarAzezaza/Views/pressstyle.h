#pragma once
// The press feedback of every pixel button: the label shrinks to 97 % while the button
// is held, easing out over 0.16 s (at once under Reduce Motion).
//
// API
//   PressStyle press_{this};                       in a QAbstractButton subclass
//   void paintEvent(QPaintEvent*) override {
//       QPainter p(this);
//       press_.apply(p, rect());                   then paint the label as usual
//   }
//
// The button repaints by itself while the scale moves.

#include <QObject>
#include <QVariantAnimation>

class QAbstractButton;
class QPainter;
class QRectF;

class PressStyle : public QObject {
    Q_OBJECT
public:
    explicit PressStyle(QAbstractButton* button);

    qreal scale() const { return scale_; }
    // Scales the painter about the centre of `rect` by the press scale.
    void apply(QPainter& painter, const QRectF& rect) const;

    static constexpr qreal pressedScale = 0.97;
    static constexpr int durationMs = 160;

private:
    void moveTo(qreal target);

    QAbstractButton* button_;
    qreal scale_ = 1;
    QVariantAnimation animation_;
};
