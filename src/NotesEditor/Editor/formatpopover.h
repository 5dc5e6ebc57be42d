#pragma once
// The content of the format popover: twelve controls, one per editor command, lit
// for the formatting at the caret of the note they format. The note is held by a
// guarded pointer, not found through the keyboard focus (the popover has the keys
// while it is open), and when it is gone presses and refreshes do nothing.

#include <QHash>
#include <QPointer>
#include <QWidget>

class FormatControl;
class NoteTextView;

class FormatPopoverViewController : public QWidget {
    Q_OBJECT
public:
    // The palette's width.
    static constexpr int width = 224;

    explicit FormatPopoverViewController(NoteTextView* textView, QWidget* parent = nullptr);

    // Lights the controls for the formatting at the caret.
    void refresh(bool animated);
    // The control of an action ("toggleBold:"), or none.
    FormatControl* control(const QString& action) const { return controls_.value(action); }

private:
    FormatControl* add(const QString& action, FormatControl* control);
    void pressed(FormatControl* control);

    QPointer<NoteTextView> textView_;
    QHash<QString, FormatControl*> controls_;
    bool pressing_ = false;
};
