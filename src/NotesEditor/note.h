#pragma once
// One note of the notes folder: its id (the stem of its file name), its rich text,
// its two dates and the fold state of its sections. The list and its search need a
// title, a preview and a folded search text for every note on every keystroke, so
// each is derived once per version of the text and cached until the text changes.
//
// Notes are held by std::shared_ptr and compared by identity: the store and the
// notes model find a note in their lists by the object, not by its id.

#include "textdocument.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTextDocument>

#include <functional>
#include <memory>
#include <optional>

class Note {
public:
    // `created` absent: the same as `modified`.
    Note(QString id, std::unique_ptr<QTextDocument> text, QDateTime modified,
         std::optional<QDateTime> created = std::nullopt);
    // The text in body style (RichText::plain).
    Note(QString id, const QString& text, QDateTime modified, std::optional<QDateTime> created = std::nullopt);

    Note(const Note&) = delete;
    Note& operator=(const Note&) = delete;

    const QString& id() const { return id_; }

    const QTextDocument& attributedText() const { return *text_; }
    // Both ways of changing the text count one version and drop the caches.
    void setAttributedText(std::unique_ptr<QTextDocument> text);
    void modifyText(const std::function<void(QTextDocument&)>& change);
    // Times the text was replaced since the note was made.
    int version() const { return version_; }

    const QDateTime& modified() const { return modified_; }
    void setModified(QDateTime modified) { modified_ = std::move(modified); }
    const QDateTime& created() const { return created_; }
    void setCreated(QDateTime created) { created_ = std::move(created); }
    // The text is only the start of a note file too long to read whole. Such a note is
    // never written back: its file holds more than the note does. Replacing the text
    // does not change this.
    bool isCutShort() const { return cutShort_; }
    void setCutShort(bool cutShort) { cutShort_ = cutShort; }
    // Heading ordinals, as the note file counts them.
    const QList<int>& collapsibleSections() const { return collapsibleSections_; }
    void setCollapsibleSections(QList<int> ordinals) { collapsibleSections_ = std::move(ordinals); }
    const QList<int>& collapsedSections() const { return collapsedSections_; }
    void setCollapsedSections(QList<int> ordinals) { collapsedSections_ = std::move(ordinals); }

    // The plain characters of the text, one "\n" between paragraphs.
    QString text() const;
    // The first meaningful line, at most 80 characters; untitled() when there is none.
    const QString& title() const;
    // The second meaningful line, at most 120 characters; empty when there is none.
    const QString& preview() const;
    // folded(text()).
    const QString& searchText() const;
    // Nothing but white space and direction marks.
    bool isEmpty() const;
    // A literal substring of searchText(); the query must come folded. Empty matches all.
    bool matches(QStringView foldedQuery) const;

    static QString untitled();
    static QString title(QStringView text);
    static QString preview(QStringView text);
    // Case-, diacritic- and width-insensitive form, Hebrew points removed.
    static QString folded(QStringView text);
    // Where the title sits in `text` (UTF-16 units of the whole text), past any list
    // marker and direction mark; nullopt when no line has anything to show.
    static std::optional<TextRange> titleRange(QStringView text);
    // A copy of `text` whose title reads `title` (trimmed), keeping the title's
    // marker and attributes. A text without a title gets the title as a new first
    // paragraph. A blank `title` gives an unchanged copy.
    static std::unique_ptr<QTextDocument> retitled(const QTextDocument& text, const QString& title);

private:
    // The first `count` meaningful lines: dividers and empty lines skipped, markers
    // and direction marks left out, each line read up to its first 400 units.
    static QList<QString> lines(QStringView text, int count);
    void textChanged();

    QString id_;
    std::unique_ptr<QTextDocument> text_;
    int version_ = 0;
    mutable std::optional<QString> cachedTitle_;
    mutable std::optional<QString> cachedPreview_;
    mutable std::optional<QString> cachedSearchText_;
    QDateTime modified_;
    QDateTime created_;
    QList<int> collapsibleSections_;
    QList<int> collapsedSections_;
    bool cutShort_ = false;
};
