#pragma once
// The plan and the notes a demo run starts on: a lived-in month around Tuesday
// 10 November 2026, written through the planner store and the note store so that
// everything on disk is in the ordinary file formats.

#include "calendar.h"

#include <QString>

class DemoData {
public:
    DemoData() = delete;

    // The day the demo plan is written around, and today in a demo run.
    static constexpr Day day{2026, 11, 10};
    // The two friends the demo texts mention.
    static QString friendA() { return QStringLiteral("ines"); }
    static QString friendB() { return QStringLiteral("theo"); }

    // Writes the demo plan into a planner folder: the weeks of 26 October through
    // 6 December 2026, the November month, the lists and the repeat rules. Write
    // errors are logged; the app starts on whatever was written.
    static void write(const QString& folder);
    // Writes the demo notes into a notes folder unless it already holds notes (any
    // ".rtf" file), and returns the folder.
    static QString writeNotes(const QString& folder);

    // Whether a folder holds any file of a plan: a week or month file, the lists or the
    // repeats. The demo is never written over one.
    static bool holdsPlan(const QString& folder);
};
