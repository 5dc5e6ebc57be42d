#pragma once
// The sheet in which the note of one thing is written: a planner thing's, or another
// app's thing's from the family store. It holds one note editor, loads the note the
// first time it comes on screen, and saves it a pause after the last edit, on "Done"
// and Escape, when it hides and when it is asked to (quitting, another folder).
//
// API
//   auto* sheet = new NoteSheet(model, NoteSheet::Target(thingID), dialog);
//   sheet->saveNow();                 writes what was typed and not yet saved
//   sheet->retarget(NoteSheet::Target(newID))   after a re-read gave the thing a fresh id
//
// Only what the user typed is written: a sheet opened and closed without an edit leaves
// the note file and the family store as they were (a sibling's file may hold more than
// the editor keeps). A save the model could not make stays due and is tried again at
// the next occasion; until one succeeds, "Done", Escape and the window's close keep the
// sheet open with its text and say why it could not be written, and "Discard" lets the
// text go knowingly.

#include "noteeditorbridge.h"
#include "sheets.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <chrono>
#include <variant>

class AppModel;
class QLabel;
class QPushButton;

class NoteSheet : public SheetContent {
    Q_OBJECT
public:
    // A planner thing by its id, or another app's thing by its family-store id.
    using Target = std::variant<QUuid, QString>;

    static constexpr QSize sheetSize{640, 520};

    NoteSheet(AppModel& model, Target target, QWidget* parent = nullptr,
              std::chrono::milliseconds delay = NoteEditorHost::sheetDelay);
    ~NoteSheet() override;

    const Target& target() const { return target_; }
    // The target thing's title; empty when there is no such thing.
    QString title() const;

    // Writes what was typed since the last save through the model.
    void saveNow() override { save(); }
    // The thing got a fresh id from a re-read: the sheet goes on with it, keeping what
    // the editor holds. Refused (false) while the present target still names a thing,
    // or for another app's thing, whose id never changes.
    bool retarget(const Target& target);
    bool followTarget(const Sheets::Target& target) override;
    // "Done" and Escape: saves and ends the model's note editing; a text that could not
    // be written keeps the sheet open instead.
    void finish();
    // Lets the unwritten text go and ends the note editing.
    void discard();
    bool letsGo() override;
    // Why the text could not be written, while it could not; empty otherwise.
    QString problem() const;
    QPushButton* discardButton() const { return discard_; }

    NoteEditor& editor() const { return bridge_.editor(); }
    QPushButton* doneButton() const { return done_; }
    QPushButton* formatButton() const { return format_; }
    // The title as the header shows it.
    QString shownTitle() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void load();
    void save();
    void refreshTitle();
    // Whether the model now holds `plain` as the target's note.
    bool holds(const QString& plain) const;
    void showProblem();
    void dismiss();

    AppModel& model_;
    // A sheet can outlive its model by a moment (another folder was chosen): it then
    // writes nothing.
    QPointer<AppModel> alive_;
    Target target_;
    NoteEditorBridge bridge_;
    NoteEditorHost* host_;
    QWidget* title_;
    QPushButton* format_;
    QPushButton* done_;
    QWidget* problemLine_;
    QLabel* problem_;
    QPushButton* discard_;
    bool loaded_ = false;
    // The user edited the text since it was loaded or last saved.
    bool dirty_ = false;
};
