#pragma once
// Timing helpers shared by the benchmark programs.
#include <QElapsedTimer>
#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

// Runs `body(i)` `rounds` times and prints the mean time of one round.
template <class F>
void measure(const char* name, int rounds, F&& body)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        body(i);
    const double perRound = double(timer.nsecsElapsed()) / rounds;
    std::printf("%-44s %14.0f ns per round (%d rounds)\n", name, perRound, rounds);
}

// Milliseconds of single rounds, in the order they ran.
struct Rounds {
    QList<double> ms;

    static double medianOf(QList<double> values)
    {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double median() const { return medianOf(ms); }
};

// Runs the bodies one after the other, `rounds` times over, each with the round's
// number. Taking turns, an operation and its floor meet the same moments of the
// machine (a slow disk, another program's load), so a round's figures are best
// compared with each other: the median of such pairs holds still where the medians
// of each alone do not.
template <class... F>
std::array<Rounds, sizeof...(F)> inTurns(int rounds, F&&... bodies)
{
    std::array<Rounds, sizeof...(F)> out;
    for (int i = 0; i < rounds; ++i) {
        std::size_t k = 0;
        (
            [&] {
                QElapsedTimer timer;
                timer.start();
                bodies(i);
                out[k++].ms.append(double(timer.nsecsElapsed()) / 1e6);
            }(),
            ...);
    }
    return out;
}

// The median over the rounds of `pair(i)`, a figure made of one round's timings.
template <class F>
double medianOfPairs(int rounds, F&& pair)
{
    QList<double> values;
    for (int i = 0; i < rounds; ++i)
        values.append(pair(i));
    return Rounds::medianOf(values);
}

// Benchmarks that need a GUI application run headless unless told otherwise.
inline void headlessUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The bytes in use on every thread's heap: loads decode on the pool's threads, whose
// arenas a count of the main one alone would miss.
inline qint64 heapInUse()
{
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    if (!out || malloc_info(0, out) != 0)
        std::abort();
    std::fclose(out);
    // The totals over every arena follow the last heap's own figures.
    const QByteArray info(text, qsizetype(size));
    std::free(text);
    const QByteArray totals = info.mid(info.lastIndexOf("</heap>"));
    const auto field = [&](const char* tag) {
        const qsizetype at = totals.indexOf(tag);
        if (at < 0)
            std::abort();
        const qsizetype from = totals.indexOf("size=\"", at) + 6;
        return totals.mid(from, totals.indexOf('"', from) - from).toLongLong();
    };
    return field("<system type=\"current\"") - field("<total type=\"fast\"") - field("<total type=\"rest\"")
        + field("<total type=\"mmap\"");
}

// Milliseconds to map `bytes` of memory the process never had, one write to each page,
// shared among `threads`: what a machine takes for the fresh pages of whatever a
// program makes, apart from making it.
inline double msToTouchFresh(qint64 bytes, int threads)
{
    const size_t length = size_t(std::max<qint64>(bytes, 4096));
    char* const memory = static_cast<char*>(mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (memory == MAP_FAILED)
        std::abort();
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> workers;
    const size_t share = (length / size_t(threads) + 4095) / 4096 * 4096;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([=] {
            for (size_t at = size_t(t) * share; at < std::min(length, size_t(t + 1) * share); at += 4096)
                memory[at] = 1;
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    munmap(memory, length);
    return ms;
}
