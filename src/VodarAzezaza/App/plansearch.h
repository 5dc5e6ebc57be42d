#pragma once
// The search over the whole plan: whether it is shown and what is typed into it, and
// where a hit leads. A part of the model: each of its changes is one of its operations.

#include <QObject>
#include <QString>
#include <QUuid>

class AppModel;
class Place;

class PlanSearch : public QObject {
    Q_OBJECT

public:
    bool isSearching() const;
    void setSearching(bool searching);
    const QString& searchText() const;
    void setSearchText(const QString& text);

    // Loads every week file, so the search finds things anywhere, and shows the search.
    void beginSearch();
    // Shows where a hit lives and selects it; the search ends.
    void reveal(const Place& place, const QUuid& id);

signals:
    void isSearchingChanged();
    void searchTextChanged();

private:
    friend class AppModel;
    explicit PlanSearch(AppModel& model) : model_(model) {}
    AppModel& model_;
};
