#pragma once
// Building note texts and reading their runs back, for the NotesEditor tests.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextDocument>

#include <memory>
#include <ostream>
#include <utility>

struct Para {
    QString text;
    qreal size = 15;
};

// Plain text, each paragraph then set to its size, normalized.
std::unique_ptr<QTextDocument> noteText(const QList<Para>& paragraphs);

// Sets character attributes on [start, end) through a cursor.
void setBold(QTextDocument& text, int start, int end, bool bold = true);
void setItalic(QTextDocument& text, int start, int end);
void setUnderline(QTextDocument& text, int start, int end);
void setSize(QTextDocument& text, int start, int end, qreal size);

// What a run of note text looks like: the attributes the note file keeps.
struct TextRun {
    QString text;
    qreal size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const TextRun&) const = default;
};
void PrintTo(const TextRun& run, std::ostream* os);

// Per paragraph, its runs with equal neighbours merged; an empty paragraph gives
// one empty run with the size of its line.
QList<QList<TextRun>> runsOf(const QTextDocument& text);

QByteArray readFixture(const QString& name);
