#pragma once
// The clipboard as the model uses it: it carries things with their rich-text notes, as
// the family's records, and pastes them (or text parsed into things) where the typing
// is. A part of the model: a paste is one of its operations.

#include <QList>

#include <optional>

class AppModel;
struct PembyThing;

class ThingClipboard {
public:
    // The selected things in board order, with their rich-text notes, onto the
    // clipboard; nothing selected leaves it alone.
    void copySelection();
    // Paste while a new line is typed or a thing's detail is open: the things join that
    // place, and the edit ends, when the clipboard holds the family's records, or the
    // paste is rich, or it makes several things; and only when it adds one at least.
    // Otherwise false, and the field pastes as usual. Without records the clipboard's
    // are taken; without `isRich`, whether the clipboard holds the family's records.
    bool pasteAsThingsWhileTyping(const std::optional<QList<PembyThing>>& things = std::nullopt,
                                  std::optional<bool> isRich = std::nullopt);
    // The things on the clipboard: the family's records, else its text parsed.
    QList<PembyThing> clipboardThings() const;

private:
    friend class AppModel;
    explicit ThingClipboard(AppModel& model) : model_(model) {}
    AppModel& model_;
};
