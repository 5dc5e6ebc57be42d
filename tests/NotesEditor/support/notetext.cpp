#include "notetext.h"

#include "richtext.h"
#include "textdocument.h"
#include "typography.h"

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

std::unique_ptr<QTextDocument> noteText(const QList<Para>& paragraphs)
{
    QStringList lines;
    for (const Para& p : paragraphs)
        lines.append(p.text);
    auto doc = RichText::plain(lines.join(u'\n'));
    QTextBlock block = doc->begin();
    for (const Para& p : paragraphs) {
        if (p.size != Typography::bodySize) {
            // The role's own font, at the size asked for.
            QFont font = Typography::font(Typography::role(p.size), std::nullopt, false);
            font.setPointSizeF(p.size);
            QTextCharFormat f;
            pemby::setRunFont(f, font);
            QTextCursor cursor(block);
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(f);
            QTextCharFormat own = block.charFormat();
            own.merge(f);
            cursor.setBlockCharFormat(own);
        }
        block = block.next();
    }
    RichText::normalize(*doc);
    return doc;
}

static void merge(QTextDocument& text, int start, int end, const QTextCharFormat& format)
{
    QTextCursor cursor(&text);
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
}

void setBold(QTextDocument& text, int start, int end, bool bold)
{
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    merge(text, start, end, f);
}

void setItalic(QTextDocument& text, int start, int end)
{
    QTextCharFormat f;
    f.setFontItalic(true);
    merge(text, start, end, f);
}

void setUnderline(QTextDocument& text, int start, int end)
{
    QTextCharFormat f;
    f.setFontUnderline(true);
    merge(text, start, end, f);
}

void setSize(QTextDocument& text, int start, int end, qreal size)
{
    QTextCharFormat f;
    f.setFontPointSize(size);
    merge(text, start, end, f);
}

void PrintTo(const TextRun& run, std::ostream* os)
{
    *os << '"' << run.text.toStdString() << "\" " << run.size << (run.bold ? " bold" : "")
        << (run.italic ? " italic" : "") << (run.underline ? " underline" : "");
}

static TextRun runOf(const QString& text, const QTextCharFormat& f)
{
    return {text, pemby::hasFont(f) ? f.fontPointSize() : 0, Typography::isBold(f), Typography::isItalic(f),
            f.fontUnderline()};
}

QList<QList<TextRun>> runsOf(const QTextDocument& text)
{
    QList<QList<TextRun>> paragraphs;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        QList<TextRun> runs;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const TextRun run = runOf(it.fragment().text(), it.fragment().charFormat());
            TextRun probe = run;
            if (!runs.isEmpty()) {
                probe.text = runs.last().text;
                if (probe == runs.last()) {
                    runs.last().text += run.text;
                    continue;
                }
            }
            runs.append(run);
        }
        if (runs.isEmpty())
            runs.append(runOf(QString(), block.charFormat()));
        paragraphs.append(runs);
    }
    return paragraphs;
}

QByteArray readFixture(const QString& name)
{
    QFile file(QStringLiteral(PEMBY_TEST_DATA "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}
