#include "inparallel.h"

#include <QList>

#include <gtest/gtest.h>

#include <atomic>

using namespace pemby;

// Every job runs once, on whichever thread, and the calling thread collects each in
// order only once its job is done: a collect that came early would take half a file.
TEST(InParallel, RunsEveryJobOnceAndCollectsEachInOrderOnceItIsDone)
{
    struct Case { qsizetype count; int threads; };
    for (const Case c : {Case{0, 4}, Case{1, 4}, Case{2, 1}, Case{7, 2}, Case{500, 8}, Case{64, 64}}) {
        SCOPED_TRACE(testing::Message() << c.count << " jobs on " << c.threads << " threads");
        QList<int> made(c.count, 0);
        int* const cells = made.data();
        std::atomic<int> runs = 0;
        QList<qsizetype> collected;
        bool collectedEarly = false;
        inParallel(
            c.count, c.threads,
            [&](qsizetype i) {
                // Some jobs take longer, so that later ones finish first.
                volatile int spin = 0;
                for (int k = 0; k < (i % 5) * 2000; ++k)
                    spin = spin + 1;
                cells[i] = int(i) + 1;
                ++runs;
            },
            [&](qsizetype i) {
                collectedEarly = collectedEarly || cells[i] != int(i) + 1;
                collected.append(i);
            });
        EXPECT_EQ(runs, c.count);
        EXPECT_FALSE(collectedEarly);
        QList<qsizetype> inOrder;
        for (qsizetype i = 0; i < c.count; ++i)
            inOrder.append(i);
        EXPECT_EQ(collected, inOrder);
    }
}

TEST(InParallel, TakesAThreadPerRunOfWorkUpToTheCores)
{
    EXPECT_EQ(threadsFor(0, 8), 1);
    EXPECT_EQ(threadsFor(7, 8), 1);
    EXPECT_EQ(threadsFor(16, 8), std::min(2, std::max(1, QThread::idealThreadCount())));
    EXPECT_EQ(threadsFor(1'000'000, 8), std::max(1, QThread::idealThreadCount()));
    EXPECT_EQ(threadsFor(5, 0), std::min(5, std::max(1, QThread::idealThreadCount())));
}
