#pragma once
// The long note of the rich-text benchmarks: checklist items, numbered items,
// Hebrew paragraphs, empty lines and plain text with an emoji, in turn.
#include <QString>
#include <QStringList>

inline QString longNote(int paragraphs)
{
    QStringList lines;
    for (int i = 0; i < paragraphs; ++i) {
        switch (i % 5) {
        case 0: lines.append(QStringLiteral("\u2610\tsomething to do, number %1").arg(i)); break;
        case 1: lines.append(QStringLiteral("%1.\tnumbered caf\u00E9 item").arg(i)); break;
        case 2: lines.append(QStringLiteral("\u05E9\u05DC\u05D5\u05DD paragraph %1").arg(i)); break;
        case 3: lines.append(QString()); break;
        default: lines.append(QStringLiteral("A plain paragraph of body text with an emoji \U0001F600 in it."));
        }
    }
    return lines.join(u'\n');
}
