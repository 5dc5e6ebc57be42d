#pragma once
// The bytes of RTF text in the code page of their document or font, turned into
// UTF-16. RTF carries text outside ASCII as bytes of a Windows or Mac code page
// (Word in 1251, WordPad in 1250, TextEdit in 936, mail in Shift-JIS or Big5), so
// one character may take two bytes; the C library's iconv does the converting.
// Windows-1252, what nearly every note is written in, needs no iconv at all.

#include <QString>

#include <array>
#include <memory>

class CodePageDecoder {
public:
    explicit CodePageDecoder(int codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    int codePage() const { return codePage_; }
    // False when this computer cannot convert the code page: bytes above 0x7F
    // then come out as U+FFFD.
    bool convertible() const { return convertible_; }
    // Appends what `byte` completes; the first byte of a two-byte character waits
    // for the second.
    void put(unsigned char byte, QString& out);
    // A character cut short (by a control word, a group's end) becomes U+FFFD.
    void finish(QString& out);
    bool waiting() const { return pendingLength_ > 0; }

    // The code page a font's \fcharset stands for: ANSI is Western (cp1252, Mac Roman
    // in a Mac document), the default charset the document's own code page.
    static int codePageOfCharset(int charset, int documentCodePage);
    // What a byte of text in the Symbol font shows.
    static char16_t symbolFontCharacter(unsigned char byte);
    // What a byte of text in the Wingdings font shows, where Unicode has it.
    static char16_t wingdingsCharacter(unsigned char byte);

private:
    struct Converter;
    void convertPending(QString& out);

    int codePage_;
    bool convertible_ = true;
    // 0x80…0xFF: the character a byte stands for alone, `lead` for the first byte
    // of a longer character, U+FFFD for a byte the code page does not use.
    std::array<char16_t, 128> single_{};
    std::unique_ptr<Converter> converter_;
    std::array<char, 4> pending_{};
    int pendingLength_ = 0;
};
