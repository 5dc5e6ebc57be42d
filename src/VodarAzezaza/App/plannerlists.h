#pragma once
// The undated lists as the user manages them: added, renamed and deleted, the deletes
// of lists that hold things asked first. Lists after the first can go; the first one
// stays. A part of the model: each change is one of its operations.

#include <QObject>

#include <optional>

class AppModel;

class PlannerLists : public QObject {
    Q_OBJECT

public:
    // Shows the lists and adds one with the first free name; at the cap only says so.
    void addList();
    void renameList(int index, const QString& name);
    // Asks for confirmation (listToDelete) when the list holds things; deletes an empty
    // one at once. The first list and indexes past the end do nothing.
    void requestDeleteList(int index);
    // The confirmation's answer: the things go to the first list, or with the list. A
    // list that is no longer the one the confirmation named stays.
    void deleteList(int index, bool keepThings);
    // Asks for confirmation (deletingAllLists) when a list after the first holds things;
    // else deletes them at once. Nothing with one list.
    void requestDeleteAllLists();
    void deleteAllLists(bool keepThings);

    const std::optional<int>& listToDelete() const;
    void setListToDelete(const std::optional<int>& index);
    bool deletingAllLists() const;
    void setDeletingAllLists(bool shown);

signals:
    void listToDeleteChanged();
    void deletingAllListsChanged();

private:
    friend class AppModel;
    explicit PlannerLists(AppModel& model) : model_(model) {}
    AppModel& model_;
};
