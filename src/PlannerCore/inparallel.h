#pragma once
// Work that falls apart into pieces of their own (the files of a plan, the lists of
// one file) shared among a few threads, the calling one among them.

#include <QThread>
#include <QThreadPool>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <memory>

namespace pemby {

// As many threads as there are runs of `perThread` in `work`, at least one and at most
// one per core.
inline int threadsFor(qsizetype work, qsizetype perThread)
{
    return int(std::clamp<qsizetype>(work / std::max<qsizetype>(perThread, 1), 1, std::max(1, QThread::idealThreadCount())));
}

// Runs `job(i)` for every i below `count` on `threads` threads, and `collect(i)` on the
// calling thread in the order of i, each as soon as the jobs up to i are done: what the
// jobs made is put together while the later ones are still at work, and the calling
// thread takes a job itself while the next one to collect is not done. A job touches
// nothing that another job or `collect` touches.
template <class Job, class Collect>
void inParallel(qsizetype count, int threads, Job&& job, Collect&& collect)
{
    if (count <= 0)
        return;
    if (threads <= 1 || count == 1) {
        for (qsizetype i = 0; i < count; ++i) {
            job(i);
            collect(i);
        }
        return;
    }
    // The helpers are the threads of Qt's pool, which outlive one call: started once,
    // they serve every later load. One that starts only once every job is taken finds
    // nothing to do, so none of them is waited for; what they look at outlives this.
    struct Shared {
        explicit Shared(qsizetype count) : done(new std::atomic_flag[size_t(count)]()) {}
        std::atomic<qsizetype> next = 0;
        const std::unique_ptr<std::atomic_flag[]> done;
    };
    const auto shared = std::make_shared<Shared>(count);
    // Every job taken is done before this returns, so a job may use what lives here.
    const auto run = [count, &job](Shared& state) {
        for (qsizetype i; (i = state.next.fetch_add(1, std::memory_order_relaxed)) < count;) {
            job(i);
            state.done[size_t(i)].test_and_set(std::memory_order_release);
            state.done[size_t(i)].notify_one();
        }
    };
    QThreadPool* const pool = QThreadPool::globalInstance();
    for (int t = 1; t < threads && t < count; ++t)
        pool->start([shared, run] { run(*shared); });
    Shared& state = *shared;
    for (qsizetype collected = 0; collected < count;) {
        if (state.done[size_t(collected)].test(std::memory_order_acquire)) {
            collect(collected++);
            continue;
        }
        if (const qsizetype i = state.next.fetch_add(1, std::memory_order_relaxed); i < count) {
            job(i);
            state.done[size_t(i)].test_and_set(std::memory_order_release);
            continue;
        }
        state.done[size_t(collected)].wait(false, std::memory_order_acquire);
    }
}

} // namespace pemby
