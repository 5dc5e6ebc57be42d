// How the notes screen behaves with a large notes folder: loading every note file,
// the first search (which folds every note once), every later keystroke (which
// must only compare against the cached search texts), and the periodic reload that
// finds nothing changed (one directory listing).
// Run on demand: build/<dir>/bench/notes_bench
#include "benchmark.h"
#include "notesmodel.h"
#include "richtext.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString noteText(int i)
{
    QStringList lines{QStringLiteral("Note number %1 about caf\u00E9s").arg(i)};
    for (int p = 0; p < 30; ++p)
        lines.append(QStringLiteral("\u2610\tsomething to remember, item %1 of note %2").arg(p).arg(i));
    return lines.join(u'\n');
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QGuiApplication app(argc, argv);

    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Notes"));
    const int count = 1000;
    {
        NoteStore writer(folder);
        for (int i = 0; i < count; ++i) {
            const Note note(QStringLiteral("note-%1").arg(i), noteText(i),
                            QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + i * 60'000LL, Qt::UTC));
            if (!writer.save(note)) {
                std::fprintf(stderr, "can't write the notes folder\n");
                return 1;
            }
        }
    }
    std::printf("folder: %d notes of 31 paragraphs\n", count);

    measure("load the folder", 3, [&](int) {
        NoteStore store(folder);
        store.load();
    });

    NotesModel model(folder);
    model.reload();
    measure("reload with nothing changed", 20, [&](int) { model.reload(); });
    model.setQuery(QStringLiteral("cafe"));
    measure("first search (folds every note)", 1, [&](int) { (void)model.visible(); });
    measure("search as the query grows", 20, [&](int i) {
        model.setQuery(QStringLiteral("item %1 of note").arg(i));
        (void)model.visible();
    });
    measure("titles and previews of every row", 20, [&](int) {
        for (const auto& note : model.notes())
            (void)(note->title().size() + note->preview().size());
    });
    return 0;
}
