#include "displayscale.h"

#include "textdocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace {

void setRange(QTextCursor& cursor, int start, int end, const QTextCharFormat& format)
{
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
}

// Calls `change` on every run and every block's own format in [from, to) and writes
// back those it changed.
template <class Change>
void eachFormat(QTextDocument& text, int from, int to, Change change)
{
    QTextCursor cursor(&text);
    for (QTextBlock b = text.findBlock(from); b.isValid() && b.position() <= to; b = b.next()) {
        struct Run { int start, end; QTextCharFormat format; };
        QList<Run> runs;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid() && f.position() + f.length() > from && f.position() < to)
                runs.append({f.position(), f.position() + f.length(), f.charFormat()});
        }
        for (Run& run : runs) {
            if (change(run.format))
                setRange(cursor, run.start, run.end, run.format);
        }
        QTextCharFormat own = b.charFormat();
        if (change(own)) {
            cursor.setPosition(b.position());
            cursor.setBlockCharFormat(own);
        }
    }
}

} // namespace

namespace DisplayScale {

void show(QTextCharFormat& format)
{
    if (!pemby::hasFont(format)) {
        format.clearProperty(QTextFormat::FontPixelSize);
        return;
    }
    const int pixels = std::max(1, int(std::lround(format.fontPointSize())));
    // The later of the two size properties decides the font, so the pixel size goes last.
    format.clearProperty(QTextFormat::FontPixelSize);
    format.setProperty(QTextFormat::FontPixelSize, pixels);
}

QTextCharFormat shown(QTextCharFormat format)
{
    show(format);
    return format;
}

void show(QTextDocument& text, int from, int to)
{
    eachFormat(text, from, to, [](QTextCharFormat& f) {
        const QTextCharFormat before = f;
        show(f);
        return f != before;
    });
}

void show(QTextDocument& text)
{
    show(text, 0, text.characterCount());
}

void unshow(QTextDocument& text)
{
    eachFormat(text, 0, text.characterCount(), [](QTextCharFormat& f) {
        if (!f.hasProperty(QTextFormat::FontPixelSize))
            return false;
        f.clearProperty(QTextFormat::FontPixelSize);
        return true;
    });
}

} // namespace DisplayScale
