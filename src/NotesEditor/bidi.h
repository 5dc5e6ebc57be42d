#pragma once
// The writing direction of a paragraph, taken from its first character that has one.

#include <QString>
#include <QStringView>

#include <optional>

enum class TextDirection { ltr, rtl };

struct Bidi {
    // A paragraph that starts with one of these has that direction whatever its
    // letters are; the editor writes them and the marker grammar skips them.
    static constexpr char16_t leftToRightMark = u'\u200E';
    static constexpr char16_t rightToLeftMark = u'\u200F';

    // The direction one character asserts; nullopt for neutral and weak ones
    // (digits never decide, Arabic-Indic ones included).
    static std::optional<TextDirection> strongDirection(char32_t c);
    // The direction of the first character that has one; nullopt when none has.
    static std::optional<TextDirection> direction(QStringView text);
};
