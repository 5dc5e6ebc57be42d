#pragma once
// The search sheet: a field for a word and, below it, the things of the whole plan
// that match, each with the place it lives in. Return, or a click on a hit, closes the
// sheet and shows that thing selected on its board.
//
// API
//   auto* search = new SearchView(model, dialog);   while model.search().isSearching()
//   search->field()                                 the query, the model's searchText
//   search->hits()                                  the rows shown, top first
//
// The query lives in the model, so a sheet opened again shows the last query and its
// hits. The hits come from the planner's search in its order (latest first), worked
// out again on every change of the query or the plan; at most maxHits are shown, with
// no word about the rest. Done and Escape end the search.

#include "sheets.h"
#include "things.h"

#include <QAbstractButton>
#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

class AppModel;
class QLabel;
class QLineEdit;
class QPushButton;
class RowText;

// One hit: the thing's title, struck and faint when done, and where it lives.
class SearchHitRow : public QAbstractButton {
    Q_OBJECT
public:
    explicit SearchHitRow(QWidget* parent = nullptr);

    void setHit(const Thing& thing, const Place& place, const QString& where);
    const Place& place() const { return place_; }
    const QUuid& thingID() const { return id_; }
    const RowText& title() const { return *title_; }
    const RowText& where() const { return *where_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    RowText* title_;
    RowText* where_;
    Place place_ = Place::inList(0);
    QUuid id_;
    bool hovered_ = false;
};

class SearchView : public SheetContent {
    Q_OBJECT
public:
    explicit SearchView(AppModel& model, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QPushButton* doneButton() const { return done_; }
    // The rows shown, top first.
    QList<SearchHitRow*> hits() const { return order_; }
    // The line shown instead of hits; hidden while there are hits.
    const QLabel& emptyText() const { return *empty_; }

    static constexpr int width = 460;
    static constexpr int resultsHeight = 280;
    static constexpr int maxHits = 60;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void sync();
    void revealFirst();
    void reveal(const SearchHitRow& row);

    AppModel& model_;
    QLineEdit* field_;
    QLabel* empty_;
    QWidget* list_;
    QPushButton* done_;
    QHash<QUuid, SearchHitRow*> rows_;
    QList<SearchHitRow*> order_;
};
