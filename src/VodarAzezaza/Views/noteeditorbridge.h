#pragma once
// The note editor as the note sheet and the notes screen hold it: one editor per sheet
// or pane, the view the format popover points at, and the host that puts the editor on
// screen in the planner's colours and reports the user's edits once they pause.
//
// API
//   NoteEditorBridge bridge_{this};                      the editor, a child of `this`
//   auto* host = new NoteEditorHost(bridge_, NoteEditorHost::sheetDelay, [this] { save(); }, this);
//   auto* aa = new FormatButton(bridge_, this);          "Aa": the popover opens beside it
//   host->cancelPending();                               a save that ran needs no other
//
// The host reports at most once per pause: every edit starts the wait again, and only
// edits by the user count (a load never does). Pending reports die with the host.

#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

class NoteEditor;

class NoteEditorBridge {
public:
    // The editor is made as a child of `owner`, which keeps it.
    explicit NoteEditorBridge(QWidget* owner);
    NoteEditorBridge(const NoteEditorBridge&) = delete;
    NoteEditorBridge& operator=(const NoteEditorBridge&) = delete;

    NoteEditor& editor() const { return *editor_; }

    // Where the format popover opens; none until the format button is made.
    QWidget* anchor() const { return anchor_; }
    void setAnchor(QWidget* anchor) { anchor_ = anchor; }
    // Opens the format popover beside the anchor; nothing without one.
    void showFormat() const;

private:
    NoteEditor* editor_;
    QPointer<QWidget> anchor_;
};

class NoteEditorHost : public QWidget {
    Q_OBJECT
public:
    // The pause after which an edit is saved: the note sheet's and the notes screen's.
    static constexpr std::chrono::milliseconds sheetDelay{800};
    static constexpr std::chrono::milliseconds paneDelay{600};

    NoteEditorHost(NoteEditorBridge& bridge, std::chrono::milliseconds delay, std::function<void()> onChange,
                   QWidget* parent = nullptr);

    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    // Runs at every edit, before its pause.
    void setOnEdit(std::function<void()> onEdit) { onEdit_ = std::move(onEdit); }
    // An edit waits for its pause.
    bool isPending() const { return pending_.isActive(); }
    void cancelPending() { pending_.stop(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    NoteEditorBridge& bridge_;
    std::function<void()> onChange_;
    std::function<void()> onEdit_;
    QTimer pending_;
};

// "Aa", which opens the format popover of the bridge's editor.
class FormatButton : public QPushButton {
    Q_OBJECT
public:
    FormatButton(NoteEditorBridge& bridge, QWidget* parent = nullptr);

    static QString toolTipText();
};
