#pragma once
// List items and dividers are ordinary characters at the start of a paragraph, not
// attributes, so they survive RTF, plain text, copy and paste unchanged. This file
// is their grammar, and the four paragraph roles that font sizes stand for.

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

struct ParagraphKind {
    enum class Type { checkbox, number, plain, bullet, divider };

    Type type = Type::plain;
    bool checked = false;  // checkbox only
    int number = 0;        // number only

    static ParagraphKind checkbox(bool checked) { return {Type::checkbox, checked, 0}; }
    static ParagraphKind numbered(int number) { return {Type::number, false, number}; }
    static ParagraphKind plain() { return {}; }
    static ParagraphKind bullet() { return {Type::bullet, false, 0}; }
    static ParagraphKind divider() { return {Type::divider, false, 0}; }

    bool isList() const { return type == Type::checkbox || type == Type::number || type == Type::bullet; }
    bool operator==(const ParagraphKind&) const = default;
};

// The marker of one paragraph. Offsets are UTF-16 code units into the paragraph's text.
struct ParagraphInfo {
    ParagraphKind kind;
    int markerStart = 0;   // after any leading direction marks
    int markerLength = 0;  // 0 for plain paragraphs

    int contentStart() const { return markerStart + markerLength; }
    bool operator==(const ParagraphInfo&) const = default;
};

struct ParagraphMarkers {
    static constexpr char16_t checked = u'\u2611';
    static constexpr char16_t unchecked = u'\u2610';
    static constexpr char16_t bullet = u'\u2022';
    static constexpr char16_t dividerCharacter = u'\u2500';
    static constexpr int dividerLength = 300;
    // dividerCharacter repeated dividerLength times, nothing else.
    static QString divider();

    // `paragraph` is the paragraph's text, with or without its line break.
    static ParagraphInfo parse(QStringView paragraph);
    // The text that starts a paragraph of `kind`: empty for plain ones.
    static QString marker(const ParagraphKind& kind);
};

// Paragraph roles, derived from the size of a paragraph's first character.
enum class TextRole { title = 0, heading = 1, subheading = 2, body = 3 };

inline constexpr std::array<TextRole, 4> allTextRoles{TextRole::title, TextRole::heading,
                                                       TextRole::subheading, TextRole::body};

// Section level: a section that starts at a heading of rank r runs until the next
// heading of rank r or lower. Body text has none.
std::optional<int> rank(TextRole role);
std::optional<TextRole> textRoleFromRawValue(int raw);
