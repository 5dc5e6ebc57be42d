#pragma once
// Timing helpers shared by the benchmark programs.
#include <QElapsedTimer>
#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstdio>

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
