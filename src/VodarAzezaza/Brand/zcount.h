#pragma once
// The move-count badge of a thing row: one pixel "z" per move, three at most, climbing
// one unit each from left to right, in pembySnooze. Rows show it only for a thing that
// was moved at least once.
//
// API
//   auto* z = new ZCount(thing.zs, 2, parent);   z->setCount(n) when the thing changes
//   accessible name "Moved n times", with the full count
//
// The widget is as wide as its z's with a unit between them and as high as the climb
// needs; a count of 0 paints nothing and takes no room.

#include <QWidget>

class ZCount : public QWidget {
    Q_OBJECT
public:
    explicit ZCount(int count, qreal unit = 2, QWidget* parent = nullptr);

    int count() const { return count_; }
    void setCount(int count);
    // How many z's are drawn: the count, at most three.
    int shown() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int count_;
    qreal unit_;
};
