#pragma once
// The sheet of one place: every thing of a day, a list or a month in one tall column,
// for when the board's column is too short to hold them.
//
// API
//   auto* sheet = new PlaceSheet(model, *model.zoomed(), dialog);
//   sheet->column()                     the ordinary thing column of the place
//   sheet->countText()                  "4 things", "3 left · 2 done-ish"
//
// Everything a column does on the board works here (adding, ticking, dragging, the
// row menus), because it is the same column. Done and Escape clear the model's
// zoomed place, which closes the sheet. A day shows its calendar events; a list or a
// month never does.

#include "sheets.h"
#include "things.h"

#include <QWidget>

class AppModel;
class QLabel;
class QPushButton;
class ThingColumn;

class PlaceSheet : public SheetContent {
    Q_OBJECT
public:
    PlaceSheet(AppModel& model, const Place& place, QWidget* parent = nullptr);

    const Place& place() const { return place_; }
    ThingColumn* column() const { return column_; }
    QPushButton* doneButton() const { return done_; }
    QString title() const;
    QString countText() const;

    // "N things" while nothing is done, else "N left · M done-ish".
    static QString countText(const QList<Thing>& things);

    static constexpr int width = 460;
    static constexpr int height = 560;
    static constexpr int minRows = 12;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void sync();
    QStringList events() const;

    AppModel& model_;
    Place place_;
    QWidget* header_;
    QLabel* title_;
    QLabel* count_;
    QPushButton* done_;
    ThingColumn* column_;
};
