#pragma once
// Timing helper shared by the benchmark programs.
#include <QElapsedTimer>
#include <QByteArray>
#include <QtGlobal>

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

// Benchmarks that need a GUI application run headless unless told otherwise.
inline void headlessUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
