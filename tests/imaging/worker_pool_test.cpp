// The worker pool: every row covered exactly once in bands of the asked size, real parallelism,
// several callers at once, nested calls, and stopping and restarting the threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

class WorkerPool : public ::testing::Test {
protected:
    void TearDown() override { setWorkerThreadCount(0); }
};

// Runs parallelRows and checks that the bands tile 0 .. rows-1 exactly once and are at least
// minRows long (unless all rows are fewer).
void expectExactCover(int rows, int minRows) {
    std::vector<std::atomic<int>> hits(static_cast<std::size_t>(std::max(rows, 0)));
    std::atomic<int> shortBands{0};
    std::atomic<int> badBands{0};
    parallelRows(rows, minRows, [&](int first, int end) {
        if (first < 0 || end > rows || first >= end) {
            ++badBands;
            return;
        }
        if (end - first < minRows && end - first != rows) {
            ++shortBands;
        }
        for (int r = first; r < end; ++r) {
            ++hits[static_cast<std::size_t>(r)];
        }
    });
    EXPECT_EQ(badBands.load(), 0);
    EXPECT_EQ(shortBands.load(), 0) << rows << " rows, bands of at least " << minRows;
    for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(hits[static_cast<std::size_t>(r)].load(), 1) << "row " << r << " of " << rows;
    }
}

TEST_F(WorkerPool, BandsCoverEveryRowExactlyOnceAtEveryThreadCount) {
    for (int threads : {1, 2, 3, 4, 7, 16}) {
        setWorkerThreadCount(threads);
        for (int rows : {1, 2, 3, 15, 16, 17, 100, 1000, 4384}) {
            for (int minRows : {1, 4, 16, 64, 5000}) {
                expectExactCover(rows, minRows);
            }
        }
    }
}

TEST_F(WorkerPool, NoRowsMeansNoCall) {
    int calls = 0;
    parallelRows(0, 1, [&](int, int) { ++calls; });
    parallelRows(-5, 1, [&](int, int) { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST_F(WorkerPool, OneThreadRunsEverythingOnTheCaller) {
    setWorkerThreadCount(1);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    parallelRows(1000, 1, [&](int, int) {
        if (std::this_thread::get_id() != caller) {
            ++elsewhere;
        }
    });
    EXPECT_EQ(elsewhere.load(), 0);
}

TEST_F(WorkerPool, TwoThreadsWorkOnOneJobAtTheSameTime) {
    setWorkerThreadCount(2);
    // Each band waits (up to a generous limit) until two different threads are inside the job:
    // that only happens when a worker really takes part.
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::thread::id> inside;
    bool met = false;
    parallelRows(2, 1, [&](int, int) {
        std::unique_lock<std::mutex> lock(mutex);
        inside.insert(std::this_thread::get_id());
        if (inside.size() >= 2) {
            met = true;
            changed.notify_all();
        }
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return met; });
    });
    EXPECT_TRUE(met);
}

TEST_F(WorkerPool, SeveralCallersAtOnceEachGetTheirOwnRowsDone) {
    setWorkerThreadCount(3);
    constexpr int kCallers = 4;
    constexpr int kRounds = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int round = 0; round < kRounds; ++round) {
                const int rows = 200 + 37 * c + round;
                std::vector<int> hits(static_cast<std::size_t>(rows), 0);
                parallelRows(rows, 8, [&](int first, int end) {
                    for (int r = first; r < end; ++r) {
                        ++hits[static_cast<std::size_t>(r)];  // bands never overlap
                    }
                });
                for (int h : hits) {
                    if (h != 1) {
                        ++failures;
                    }
                }
            }
        });
    }
    for (std::thread &t : callers) {
        t.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(WorkerPool, BandBodiesMayThemselvesSplitWork) {
    setWorkerThreadCount(4);
    std::atomic<long> sum{0};
    parallelRows(8, 1, [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            parallelRows(100, 10, [&](int a, int b) {
                for (int i = a; i < b; ++i) {
                    sum += r * 100 + i;
                }
            });
        }
    });
    long expected = 0;
    for (int r = 0; r < 8; ++r) {
        for (int i = 0; i < 100; ++i) {
            expected += r * 100 + i;
        }
    }
    EXPECT_EQ(sum.load(), expected);
}

TEST_F(WorkerPool, ShutdownJoinsTheThreadsAndTheNextJobStartsThemAgain) {
    setWorkerThreadCount(3);
    shutdownWorkerPool();  // threads left by earlier jobs with more threads
    EXPECT_EQ(liveWorkerThreads(), 0);
    expectExactCover(500, 4);
    EXPECT_EQ(liveWorkerThreads(), 2);
    shutdownWorkerPool();
    EXPECT_EQ(liveWorkerThreads(), 0);
    shutdownWorkerPool();  // a second stop is harmless
    expectExactCover(500, 4);
    EXPECT_EQ(liveWorkerThreads(), 2);
}

TEST_F(WorkerPool, ThreadCountIsClampedAndZeroRestoresOnePerCore) {
    setWorkerThreadCount(1000);
    EXPECT_EQ(workerThreadCount(), kMaxWorkerThreads);
    setWorkerThreadCount(-3);
    EXPECT_EQ(workerThreadCount(), 1);
    setWorkerThreadCount(0);
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    EXPECT_EQ(workerThreadCount(), cores > 0 ? std::min(cores, kMaxWorkerThreads) : 1);
}

}  // namespace
}  // namespace ostrel::imaging
