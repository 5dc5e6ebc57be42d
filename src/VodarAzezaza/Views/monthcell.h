#pragma once
// One day of the month board: its number (on a yellow patch for today), the first
// three of its things, "+n" for the rest, and at the bottom one small square per thing,
// dark when done. Days of the neighbouring months are greyed.
//
// API
//   auto* cell = new MonthCell(model, day, grid);   follows the model by itself
//   cell->setDay(other)       the same cell shows another day
//   cell->lineAt(point)       the thing whose title line is there, if any
//
// A click on a title selects (Ctrl adds, Shift takes a range), dragging a title moves
// the thing, dropping things or text files them on the day, and a double click opens
// the day's week.

#include "calendar.h"
#include "things.h"
#include "titletext.h"

#include <QPointer>
#include <QTextLayout>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class AppModel;

class MonthCell : public QWidget {
    Q_OBJECT
public:
    MonthCell(AppModel& model, Day day, QWidget* parent = nullptr);

    Day day() const { return day_; }
    // Shows `day` from now on: its things, its number and name, nothing of the day before.
    void setDay(Day day);
    bool inShownMonth() const;
    bool isToday() const;
    // The things of the day in stored order.
    const QList<Thing>& things() const { return things_; }
    // Up to sixteen squares, done things first, each group in stored order: true done.
    QList<bool> marks() const;
    // "+17" for twenty things; empty for three or fewer.
    QString moreText() const;
    std::optional<QUuid> lineAt(const QPoint& point) const;
    QRect lineRect(int line) const;
    QRect markRect(int mark) const;

    static constexpr int shownThings = 3;
    static constexpr int maxMarks = 16;
    static constexpr int markSize = 4;
    static constexpr int markSpacing = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void showThings(const QList<Thing>& things);
    void refreshSelection();
    QFont lineFont() const;
    QFont numberFont() const;
    int dayLineHeight() const;
    void startDrag(const QUuid& id);
    // What the cell offers a drag over it: a move for this app's own drag, a copy of
    // text from elsewhere; none for anything else.
    std::optional<Qt::DropAction> dropActionFor(const class QMimeData* mime) const;

    // Title `line` cut to `width` and laid out: measured and shaped once per title, font
    // and width, as a month repaints many more times than its titles change.
    struct Fitted {
        QString title;
        qreal advance = 0;
        int width = -1;
        TitleText::Line line;
        bool struck = false;
        std::unique_ptr<QTextLayout> layout;
    };
    const Fitted& fitted(int line, int width) const;

    AppModel& model_;
    Day day_;
    QList<Thing> things_;
    mutable std::vector<Fitted> fitted_;
    // Which of the titles shown are selected, as last painted.
    QList<bool> selected_;
    std::optional<QUuid> pressed_;
    QPoint pressPos_;
};
