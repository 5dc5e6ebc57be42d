// How the notes screen behaves with a large notes folder: loading every note file,
// the first search (which folds every note once), every later keystroke (which
// must only compare against the cached search texts), and the periodic reload that
// finds nothing changed (the kernel's word that nothing did, no look at the folder).
// Run on demand: build/<dir>/bench/notes_bench
#include "benchmark.h"
#include "notesfolder.h"
#include "notesmodel.h"
#include "richtext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

QString noteText(int i)
{
    QStringList lines{QStringLiteral("Note number %1 about caf\u00E9s").arg(i)};
    for (int p = 0; p < 30; ++p)
        lines.append(QStringLiteral("\u2610\tsomething to remember, item %1 of note %2").arg(p).arg(i));
    return lines.join(u'\n');
}

// Runs an operation and its floor in turns, `rounds` times over, so that both meet
// the same moments of the machine; the medians, the median of the pairs' ratios,
// and the best round of each.
template <class Operation, class Floor>
void againstFloor(const char* name, int rounds, Operation&& operation, Floor&& floor)
{
    QList<double> ms, floorMs, ratios;
    const auto timed = [](auto&& body, int i) {
        QElapsedTimer timer;
        timer.start();
        body(i);
        return double(timer.nsecsElapsed()) / 1e6;
    };
    for (int i = 0; i < rounds; ++i) {
        // Which goes first alternates, so neither always meets the other's leftovers.
        if (i % 2) {
            floorMs.append(timed(floor, i));
            ms.append(timed(operation, i));
        } else {
            ms.append(timed(operation, i));
            floorMs.append(timed(floor, i));
        }
        ratios.append(ms.last() / floorMs.last());
    }
    const auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    // On a busy machine the best rounds are the ones least disturbed.
    const double best = *std::min_element(ms.cbegin(), ms.cend());
    const double bestFloor = *std::min_element(floorMs.cbegin(), floorMs.cend());
    std::printf("%-44s %10.1f ms   floor %8.1f ms   %.2fx (best rounds: %.1f against %.1f ms, %.2fx)\n", name,
                median(ms), median(floorMs), median(ratios), best, bestFloor, best / bestFloor);
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QGuiApplication app(argc, argv);

    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Notes"));
    const int count = 1000;
    if (!writeNotesFolder(folder, count, noteText))
        return 1;
    std::printf("folder: %d notes of 31 paragraphs\n", count);

    // The floor of a load: every note file's bytes read and decoded, and the texts
    // kept, as a load keeps them; nothing else.
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.rtf")}, QDir::Files);
    const auto readAndDecode = [&](int) {
        std::vector<RichText::Decoded> texts;
        for (const QString& name : files) {
            QFile file(folder + u'/' + name);
            auto decoded = file.open(QIODevice::ReadOnly) ? RichText::decode(file.readAll()) : std::nullopt;
            if (!decoded)
                std::abort();
            texts.push_back(std::move(*decoded));
        }
    };
    const auto load = [&](int) {
        NoteStore store(folder);
        store.load();
        if (store.notes().size() != count)
            std::abort();
    };
    againstFloor("load the folder (floor: read and decode)", 21, load, readAndDecode);

    // A notes folder is mostly old files, and a file's look is trusted a few seconds
    // after its last write: the board the first read writes settles too.
    NotesModel model(folder);
    model.reload();
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    model.store().load();
    measure("reload with nothing changed", 20, [&](int) { model.reload(); });

    // One note changed outside (as the sibling app saves it): the reload beside
    // decoding that one note.
    {
        QList<double> ms, floorMs;
        for (int i = 0; i < 21; ++i) {
            const QString path = folder + u'/' + files[i];
            const QByteArray bytes = RichText::encode(*RichText::plain(noteText(i) + QStringLiteral(" edited %1").arg(i)), {}, {}, std::nullopt);
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
                std::abort();
            file.close();
            QElapsedTimer timer;
            timer.start();
            model.reload();
            ms.append(double(timer.nsecsElapsed()) / 1e6);
            timer.restart();
            if (!RichText::decode(bytes))
                std::abort();
            floorMs.append(double(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::sort(floorMs.begin(), floorMs.end());
        const double value = ms[ms.size() / 2], floor = floorMs[floorMs.size() / 2];
        std::printf("one note changed outside, reload (floor: decode that note) %.2f ms, floor %.2f ms, ratio %.1fx\n",
                    value, floor, value / floor);
    }
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
