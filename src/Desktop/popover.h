#pragma once
// The one popover of the app: a frameless popup beside an anchor rectangle, on the
// preferred side, flipped to the other side when the screen has no room there. It
// always lies wholly on the screen's available area, follows its content's size while
// it is open, and closes on a click outside and on Escape, as popups do, and says so
// once. Where no compositor blends windows it takes its rounded shape itself, so its
// corners never show black.

#include <QPointer>
#include <QWidget>

class Popover : public QWidget {
    Q_OBJECT
public:
    explicit Popover(QWidget* parent = nullptr);

    // Takes ownership of the content and lays it out inside the popover's margins.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // Shows the popover beside `anchor`, given in global coordinates. Along the
    // anchor's edge it stays inside `window` (global) when it fits there.
    void showAt(const QRect& anchor, Qt::Edge preferred = Qt::BottomEdge, const QRect& window = QRect());
    // Shows it beside a widget's whole rectangle, inside the widget's window where it
    // fits, so it leaves the window's title bar alone.
    void showAt(const QWidget* anchor, Qt::Edge preferred = Qt::BottomEdge);

    // Where a popover of `size` goes beside `anchor` on a screen whose available area
    // is `screen`. Flip: the preferred side when it fits, else the opposite side when
    // that fits, else the side with more room. Shift: along the edge, centred on the
    // anchor, then moved inside `window` (when given and the popover fits in it) and
    // on screen. Clamp: wholly on screen, even over the anchor, at most the screen's
    // size.
    static QRect placement(const QRect& anchor, const QSize& size, const QRect& screen, Qt::Edge preferred,
                           const QRect& window = QRect());

    // The size the content asks for now, margins included.
    QSize wantedSize() const;

    // The gap between the anchor and the popover.
    static constexpr int gap = 6;
    static constexpr qreal radius = 10;

signals:
    // The popover went away: a click outside, Escape, or `close()`.
    void closed();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Sizes and places the popover for what its content asks for now.
    void fit();
    QRect screenArea() const;
    void shape();

    QPointer<QWidget> content_;
    QRect anchor_;
    QRect window_;
    Qt::Edge edge_ = Qt::BottomEdge;
    bool placed_ = false;
    bool fitting_ = false;
    bool opaque_ = false;
};
