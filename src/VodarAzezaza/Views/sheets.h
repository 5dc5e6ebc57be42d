#pragma once
// The main window's sheets: the search, a thing's note, another app's thing's note and
// the sheet of one place. Each is presented exactly while its model property says so
// (isSearching, editingNote, editingExternalNote, zoomed); dismissing one by any means
// (Escape, its own Done, closing it) writes that property back and nothing else.
//
// API
//   class NoteSheet : public SheetContent { ... void saveNow() override; };
//   Sheets::appSheets()[SheetKind::ThingNote]  what makes the content; an empty factory
//                                              for a kind means none of it opens
//   SheetPresenter presenter(window, Sheets::appSheets());   follows one model's properties
//   presenter.setModel(model);
//   presenter.closeAll();                      saves and closes every open sheet
//
// A content reads its target from the model when it is made (the note sheet of
// model.editingNote(), ...). When the property moves to another target, the sheet is
// closed and one for the new target opens.

#include "things.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <variant>

class AppModel;
class QDialog;

enum class SheetKind { Search, ThingNote, ExternalNote, Place };

namespace Sheets {
// What the model asks to present: none, or the target the sheet is for.
using Target = std::variant<bool, QUuid, QString, Place>;
} // namespace Sheets

class SheetContent : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Writes what the sheet holds that is not saved yet: the app is about to quit, or
    // the model to be replaced.
    virtual void saveNow() {}
    // The model's property moved to another target that is still this sheet's (a
    // re-read gave its thing a fresh id): whether the sheet goes on with it, keeping
    // what it holds, instead of being closed for a new one.
    virtual bool followTarget(const Sheets::Target&) { return false; }
    // The dialog is about to close by itself (its window's close button, a reject):
    // false keeps it on screen, for a sheet whose text could not be written and has not
    // been discarded.
    virtual bool letsGo() { return true; }
};

namespace Sheets {

using Factory = std::function<SheetContent*(AppModel& model, QWidget* parent)>;

inline constexpr std::array<SheetKind, 4> allKinds{SheetKind::Search, SheetKind::ThingNote,
                                                   SheetKind::ExternalNote, SheetKind::Place};

// What makes the content of each kind of sheet, given to whoever presents them when it
// is made; an empty factory for a kind that has no sheet.
struct Factories {
    std::array<Factory, allKinds.size()> kinds;
    Factory& operator[](SheetKind kind) { return kinds[std::size_t(kind)]; }
    const Factory& operator[](SheetKind kind) const { return kinds[std::size_t(kind)]; }
};

// The app's own sheets, one for every kind.
Factories appSheets();

std::optional<Target> requested(const AppModel& model, SheetKind kind);
// The write of a dismissal.
void dismiss(AppModel& model, SheetKind kind);

} // namespace Sheets

class SheetPresenter : public QObject {
    Q_OBJECT
public:
    // Sheets are window-modal over `window`, their contents made by `factories`.
    SheetPresenter(QWidget* window, Sheets::Factories factories);
    ~SheetPresenter() override;

    void setModel(AppModel* model);
    // Saves what every open sheet holds.
    void saveAll();
    // Saves and dismisses every open sheet.
    void closeAll();
    // The dialog presented for a kind; none when it is not on screen.
    QDialog* sheet(SheetKind kind) const;

private:
    struct Shown {
        QPointer<QDialog> dialog;
        QPointer<SheetContent> content;
        Sheets::Target target;
    };

    void follow(SheetKind kind);
    void present(SheetKind kind, const Sheets::Target& target);
    // Takes the dialog off screen without writing the property: the model moved on.
    void withdraw(SheetKind kind);
    void finished(SheetKind kind, QDialog* dialog);

    QWidget* window_;
    const Sheets::Factories factories_;
    QPointer<AppModel> model_;
    std::array<Shown, Sheets::allKinds.size()> shown_;
    QList<QMetaObject::Connection> connections_;
};
