// Note files from anywhere: whatever the reader makes of the bytes must survive
// the writer and the reader again. Decode, encode, decode gives the same text,
// the same runs and paragraph styles, and the same metadata.
#include "fuzzcheck.h"
#include "richtext.h"
#include "textdocument.h"
#include "typography.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QList>
#include <QString>
#include <QTextBlock>

#include <cstdint>

namespace {

// What a run of note text keeps in its file.
struct Run {
    QString text;
    qreal size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    qreal kern = 0;
    bool sameLook(const Run& o) const
    {
        return size == o.size && bold == o.bold && italic == o.italic && underline == o.underline && kern == o.kern;
    }
    bool operator==(const Run&) const = default;
};

Run runOf(const QString& text, const QTextCharFormat& f)
{
    return {text, pemby::hasFont(f) ? f.fontPointSize() : 0, Typography::isBold(f), Typography::isItalic(f),
            f.fontUnderline(), pemby::runKern(f)};
}

struct Paragraph {
    QList<Run> runs;  // equal neighbours merged; an empty paragraph has one empty run
    std::optional<ParagraphStyle> style;
    bool operator==(const Paragraph&) const = default;
};

QList<Paragraph> paragraphsOf(const QTextDocument& text)
{
    QList<Paragraph> paragraphs;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        Paragraph p;
        p.style = ParagraphStyle::of(block.blockFormat());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const Run run = runOf(it.fragment().text(), it.fragment().charFormat());
            if (!p.runs.isEmpty() && p.runs.last().sameLook(run))
                p.runs.last().text += run.text;
            else
                p.runs.append(run);
        }
        if (p.runs.isEmpty())
            p.runs.append(runOf(QString(), block.charFormat()));
        paragraphs.append(p);
    }
    return paragraphs;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Note text needs fonts, and so a GUI application, but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto first = RichText::decode(bytes);
    if (!first)
        return 0;
    const QByteArray encoded = RichText::encode(*first->text, first->collapsible, first->collapsed, first->created);
    const auto second = RichText::decode(encoded);
    checking = "a note file read, written and read again";
    check(bool(second), "what the writer wrote reads");
    check(pemby::documentText(*second->text) == pemby::documentText(*first->text), "the text stays");
    check(paragraphsOf(*second->text) == paragraphsOf(*first->text), "runs and paragraph styles stay");
    // Collapsible ordinals are written only when there are any, and an absent list
    // reads as the collapsed one.
    const QList<int> collapsible = first->collapsible.isEmpty() ? first->collapsed : first->collapsible;
    check(second->collapsible == collapsible && second->collapsed == first->collapsed, "the section ordinals stay");
    check(second->created == first->created, "the creation date stays");
    check(second->unconvertedCodePages.isEmpty(), "the writer writes only what the reader converts");
    return 0;
}
