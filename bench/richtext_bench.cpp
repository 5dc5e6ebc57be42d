// How note files and the paragraph styler behave at the size of a long note: the
// notes screen decodes every note of the folder, the editor saves on every pause in
// typing, and the styler runs after every edit. Reading must stay linear in the
// file, and an edit must cost its own paragraphs, not the whole note.
// Run on demand: build/<dir>/bench/richtext_bench
#include "benchmark.h"
#include "longnote.h"
#include "paragraphstyler.h"
#include "richtext.h"
#include "rtfreader.h"
#include "textdocument.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QGuiApplication app(argc, argv);

    for (int size : {500, 5000}) {
        auto note = RichText::plain(longNote(size));
        const QByteArray file = RichText::encode(*note, {}, {}, std::nullopt);
        std::printf("note: %d paragraphs, %lld bytes\n", size, (long long)file.size());
        measure("encode", 20, [&](int) { (void)RichText::encode(*note, {}, {}, std::nullopt); });
        measure("read (RTF only)", 20, [&](int) { (void)RtfReader::read(file); });
        measure("decode (read and normalize)", 20, [&](int) { (void)RichText::decode(file); });
        measure("styler after typing in the middle", 200, [&](int i) {
            QTextCursor cursor(note->findBlockByNumber(size / 2));
            cursor.insertText(i % 2 ? QStringLiteral("x") : QStringLiteral("\u05D0"));
            ParagraphStyler::apply(*note, cursor.position() - 1, 1);
        });
    }

    // Hostile input: deep nesting and long runs of control words.
    const QByteArray deep = "{\\rtf1 " + QByteArray(1'000'000, '{') + "x";
    measure("read 1,000,000 open groups", 5, [&](int) { (void)RtfReader::read(deep); });
    const QByteArray words = "{\\rtf1 " + QByteArray("\\b\\i\\fs30 ").repeated(200'000) + "}";
    measure("read 600,000 control words", 5, [&](int) { (void)RtfReader::read(words); });
    // Reading must grow with the file, not with runs times runs or tab stops times
    // paragraphs: doubling the input should double the time.
    for (int runs : {2000, 4000, 8000, 16000}) {
        QByteArray body;
        for (int i = 0; i < runs; ++i)
            body += i % 2 ? "\\b0 word " : "\\b word ";
        const QByteArray file = "{\\rtf1 " + body + "}";
        std::printf("one paragraph of %d runs\n", runs);
        measure("  read", 1, [&](int) { (void)RtfReader::read(file); });
        measure("  decode", 1, [&](int) { (void)RichText::decode(file); });
    }
    for (int paragraphs : {5000, 10000, 20000, 40000}) {
        QByteArray tabs;
        for (int i = 0; i < 64; ++i)
            tabs += "\\tx" + QByteArray::number(100 * (i + 1));
        QByteArray body;
        for (int i = 0; i < paragraphs; ++i)
            body += (i % 2 ? tabs : QByteArray("\\tx") + QByteArray::number(i)) + " line\\par ";
        const QByteArray file = "{\\rtf1 " + body + "}";
        std::printf("%d paragraphs adding tab stops, %lld bytes\n", paragraphs, (long long)file.size());
        measure("  read", 1, [&](int) { (void)RtfReader::read(file); });
        measure("  decode", 1, [&](int) { (void)RichText::decode(file); });
    }
    return 0;
}
