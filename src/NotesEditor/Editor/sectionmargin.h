#pragma once
// The margin on one side of a note's text column, where the chevrons of collapsible
// headings sit. A click on a chevron folds or unfolds its section; any other press,
// drag or wheel turn goes on to the text beside it, as if the column reached the edge.

#include <QWidget>

class NoteTextView;

class SectionMargin : public QWidget {
public:
    explicit SectionMargin(NoteTextView* view);

    // The chevron's stroke, in the rect's own coordinates: a V pointing down when
    // unfolded, an arrow toward the reading direction when folded.
    static void drawChevron(QPainter& painter, const QRectF& rect, bool collapsed, bool rightToLeft);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void forward(QMouseEvent* event);

    NoteTextView* view_;
    bool forwarding_ = false;
};
