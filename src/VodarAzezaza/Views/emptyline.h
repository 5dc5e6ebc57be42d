#pragma once
// A blank filler line at the bottom of a column. Under the pointer it shows a faint
// empty box, a hint that a click starts a new thing there.
//
// API
//   auto* line = new EmptyLine(column);
//   connect(line, &EmptyLine::tapped, column, [=] { /* start a new thing here */ });
//   line->setContextMenuPolicy(Qt::CustomContextMenu) and the column's own menu
//
// The line has no action of its own: the column gives it the click, the menu and the
// drop target. 32 high, ruled.

#include <QVariantAnimation>
#include <QWidget>

class EmptyLine : public QWidget {
    Q_OBJECT
public:
    explicit EmptyLine(QWidget* parent = nullptr);

    bool isHovering() const { return hovering_; }
    // The box's opacity now: 0.55 under the pointer, 0 otherwise.
    qreal boxOpacity() const { return opacity_; }

    QSize sizeHint() const override;

    static constexpr qreal hoverOpacity = 0.55;
    static constexpr int fadeMs = 120;

signals:
    // A single click with the left button.
    void tapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setHovering(bool hovering);

    bool hovering_ = false;
    bool pressed_ = false;
    qreal opacity_ = 0;
    QVariantAnimation fade_;
};
