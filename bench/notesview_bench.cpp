// The notes screen over a folder of a thousand notes: making the list and drawing it
// the first time, a save from the editor (the list re-sorts and repaints), scrolling a
// page, and a keystroke in the search field; beside them, a plain list view of a
// thousand strings drawn the same way, the floor of what a list costs, and the save in
// a notes model that no view follows.
// Run on demand: build/<dir>/bench/notesview_bench
#include "benchmark.h"
#include "notelist.h"
#include "notesfolder.h"
#include "notesmodel.h"
#include "notesview.h"

#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

QString noteText(int i)
{
    QStringList lines{QStringLiteral("Note number %1 about caf\u00E9s").arg(i),
                      QStringLiteral("the preview line of note %1, long enough to be cut short").arg(i)};
    for (int p = 0; p < 10; ++p)
        lines.append(QStringLiteral("\u2610\tsomething to remember, item %1 of note %2").arg(p).arg(i));
    return lines.join(u'\n');
}

void draw(QWidget& widget)
{
    widget.repaint();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QApplication app(argc, argv);

    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Notes"));
    const int count = 1000;
    if (!writeNotesFolder(folder, count, noteText))
        return 1;
    NotesModel notes(folder);
    notes.reload();
    std::printf("folder: %d notes\n", count);

    QStringList strings;
    for (int i = 0; i < count; ++i)
        strings.append(QStringLiteral("Note number %1").arg(i));
    QStringListModel plain(strings);

    const auto made = inTurns(
        5,
        [&](int) {
            NotesList list(notes);
            list.resize(NotesList::columnWidth, 600);
            list.show();
            draw(list);
        },
        [&](int) {
            QListView list;
            list.setModel(&plain);
            list.resize(NotesList::columnWidth, 600);
            list.show();
            draw(list);
        });
    std::printf("%-44s %10.2f ms (a plain list of strings: %.2f ms)\n", "make the list and draw it", made[0].median(),
                made[1].median());

    NotesList list(notes);
    list.resize(NotesList::columnWidth, 600);
    list.show();
    draw(list);
    NoteListView* view = list.listView();
    QListView floor;
    floor.setModel(&plain);
    floor.resize(NotesList::columnWidth, 600);
    floor.show();
    draw(floor);

    const auto scrolled = inTurns(
        50,
        [&](int i) {
            QScrollBar* bar = view->verticalScrollBar();
            bar->setValue((i * bar->pageStep()) % std::max(1, bar->maximum()));
            draw(*view->viewport());
        },
        [&](int i) {
            QScrollBar* bar = floor.verticalScrollBar();
            bar->setValue((i * bar->pageStep()) % std::max(1, bar->maximum()));
            draw(*floor.viewport());
        });
    std::printf("%-44s %10.3f ms (plain: %.3f ms)\n", "scroll a page and draw", scrolled[0].median(),
                scrolled[1].median());

    // The same folder behind no view: what the save costs the notes model itself.
    NotesModel bare(folder);
    bare.reload();
    view->verticalScrollBar()->setValue(0);
    const auto saved = inTurns(
        50,
        [&](int i) {
            // The editor saved a note from the middle: it moves to the top.
            notes.edited(notes.notes()[count / 2 + (i % 10)], true);
            draw(*view->viewport());
        },
        [&](int i) { bare.edited(bare.notes()[count / 2 + (i % 10)], true); });
    std::printf("%-44s %10.3f ms (the model alone: %.3f ms)\n", "a save re-sorts the list and draws it",
                saved[0].median(), saved[1].median());

    const QString query = QStringLiteral("about cafes");
    const auto searched = inTurns(query.size(), [&](int i) {
        notes.setQuery(query.left(i + 1));
        draw(*view->viewport());
    });
    std::printf("%-44s %10.3f ms\n", "a keystroke in the search field", searched[0].median());
    notes.setQuery(QString());
    return 0;
}
