#include "documentcompare.h"

#include "textdocument.h"

#include <QList>
#include <QMap>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// Qt's own format equality depends on the order in which properties were set;
// the reader sees only which properties a run has.
using Properties = QMap<int, QVariant>;

Properties withoutFoldMarks(const QTextBlockFormat& format)
{
    Properties p = format.properties();
    for (int key : {int(NoteCollapsibleProperty), int(NoteCollapsedProperty), int(NoteHiddenProperty)})
        p.remove(key);
    return p;
}

struct Run {
    int length = 0;
    Properties format;
};

// Fragment boundaries are the document's own business: two neighbours of equal
// format are one run for the reader.
QList<Run> runs(const QTextBlock& block)
{
    QList<Run> list;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (!f.isValid())
            continue;
        const Properties format = f.charFormat().properties();
        if (!list.isEmpty() && list.last().format == format)
            list.last().length += f.length();
        else
            list.append({f.length(), format});
    }
    return list;
}

bool sameRuns(const QList<Run>& a, const QList<Run>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].length != b[i].length || a[i].format != b[i].format)
            return false;
    }
    return true;
}

} // namespace

bool DocumentCompare::sameIgnoringFolds(const QTextDocument& a, const QTextDocument& b)
{
    if (a.blockCount() != b.blockCount() || a.characterCount() != b.characterCount())
        return false;
    for (QTextBlock x = a.begin(), y = b.begin(); x.isValid() && y.isValid(); x = x.next(), y = y.next()) {
        if (x.text() != y.text())
            return false;
        if (withoutFoldMarks(x.blockFormat()) != withoutFoldMarks(y.blockFormat()))
            return false;
        // An empty paragraph's size lives in the block's own character format.
        if (x.length() <= 1 && x.charFormat().properties() != y.charFormat().properties())
            return false;
        if (!sameRuns(runs(x), runs(y)))
            return false;
    }
    return true;
}
