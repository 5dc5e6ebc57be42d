#pragma once
// The one popover of the app: a frameless popup beside an anchor rectangle, on the
// preferred side, flipped to the other side when the screen has no room there. It
// closes on a click outside and on Escape, as popups do, and says so once.

#include <QPointer>
#include <QWidget>

class Popover : public QWidget {
    Q_OBJECT
public:
    explicit Popover(QWidget* parent = nullptr);

    // Takes ownership of the content and lays it out inside the popover's margins.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // Shows the popover beside `anchor`, given in global coordinates.
    void showAt(const QRect& anchor, Qt::Edge preferred = Qt::BottomEdge);
    // Shows it beside a widget's whole rectangle.
    void showAt(const QWidget* anchor, Qt::Edge preferred = Qt::BottomEdge);

    // Where a popover of `size` goes beside `anchor` on a screen whose available area
    // is `screen`: the preferred side when it fits, else the opposite side when that
    // fits, else the side with more room; shifted along the edge to stay on screen.
    static QRect placement(const QRect& anchor, const QSize& size, const QRect& screen, Qt::Edge preferred);

    // The gap between the anchor and the popover.
    static constexpr int gap = 6;

signals:
    // The popover went away: a click outside, Escape, or `close()`.
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPointer<QWidget> content_;
};
