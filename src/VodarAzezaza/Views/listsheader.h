#pragma once
// The header of the undated lists under the week's days: a toggle that shows or hides
// the lists (with a count of what waits in them while they are hidden), the new-list
// button and the lists' menu; and the two confirmations of deleting lists, which come
// up while the model asks for them (AppModel::listToDelete, deletingAllLists).
//
// API
//   auto* header = new ListsHeader(model, board);     22 high; all from the model
//   header->deleteTitle()      "Delete work? It has 3 things." while a list is asked about
//   header->countLine()        "2 lists · 7 waiting" while the lists are hidden, else ""
//   header->dialog()           the confirmation on screen, if any
//
// A confirmation answers the model while it still names the list it asked about, so the
// model can tell that the list it deletes is the one the user saw. A question whose list
// no longer stands at its index (a re-read, an undo) is withdrawn rather than answered.

#include "confirmdialog.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>

class AppModel;
class GlyphButton;
class QAbstractButton;
class QMenu;

class ListsHeader : public QWidget {
    Q_OBJECT
public:
    explicit ListsHeader(AppModel& model, QWidget* parent = nullptr);
    ~ListsHeader() override;

    QString deleteTitle() const;
    QString countLine() const;
    // The first list's name, "eventually" when there is none.
    QString firstListName() const;

    QAbstractButton* toggle() const;
    GlyphButton* newListButton() const { return plus_; }
    GlyphButton* optionsButton() const { return options_; }
    QMenu* optionsMenu() const { return menu_; }
    ConfirmDialog* dialog() const { return dialog_; }

    static constexpr int height = 22;

private:
    enum class Asking { None, OneList, AllLists };

    void refresh();
    void prepareMenu();
    // Opens, updates or closes the confirmation after the model.
    void syncDialog();
    void answer(Asking asked, bool keep, bool remove);
    void updateDialogTexts();

    AppModel& model_;
    class Toggle;
    Toggle* toggle_;
    GlyphButton* plus_;
    GlyphButton* options_;
    QMenu* menu_;
    QPointer<ConfirmDialog> dialog_;
    QPointer<QPushButton> keep_;
    QPointer<QPushButton> remove_;
    Asking asking_ = Asking::None;
    // The name of the list a one-list question is about, as it was asked.
    QString askedName_;
};
