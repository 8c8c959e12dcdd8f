// The process-wide worker pool: a queue of row-band jobs served by the callers themselves and by a
// set of long-lived worker threads.
#include "imaging/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace ostrel::imaging {
namespace {

// One parallelRows call. Lives on its caller's stack; every field but the constant ones is
// guarded by the pool's mutex.
struct Job {
    FunctionRef<void(int, int)> body;
    int rowCount;
    int bandCount;
    int helpersAllowed;  // worker threads that may join besides the caller
    int nextBand = 0;
    int helpers = 0;
    int bandsDone = 0;
    std::condition_variable finished;

    Job(FunctionRef<void(int, int)> b, int rows, int bands, int allowed)
        : body(b), rowCount(rows), bandCount(bands), helpersAllowed(allowed) {}

    int bandBegin(int band) const {
        return static_cast<int>(static_cast<long long>(rowCount) * band / bandCount);
    }
};

// Bands per participating thread: several, so that a thread slowed down by other work on the
// machine does not hold the whole frame back.
constexpr int kBandsPerThread = 4;

int defaultThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores == 0 ? 1 : cores), 1, kMaxWorkerThreads);
}

class WorkerPool {
public:
    WorkerPool() : threadCount_(defaultThreadCount()) {}
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void run(int rowCount, int minRowsPerBand, FunctionRef<void(int, int)> body) {
        if (rowCount <= 0) {
            return;
        }
        const int threads = threadCount_.load(std::memory_order_relaxed);
        const int minRows = std::max(minRowsPerBand, 1);
        const int maxBands = std::max(rowCount / minRows, 1);
        const int bands = std::min(maxBands, threads * kBandsPerThread);
        if (threads == 1 || bands == 1) {
            body(0, rowCount);
            return;
        }
        Job job(body, rowCount, bands, std::min(threads, bands) - 1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            startWorkersLocked(threads - 1);
            queue_.push_back(&job);
        }
        wake_.notify_all();

        std::unique_lock<std::mutex> lock(mutex_);
        // The caller works on its own job until every band is taken, then waits for the bands
        // that workers are still running.
        while (job.nextBand < job.bandCount) {
            runOneBandLocked(job, lock);
        }
        job.finished.wait(lock, [&] { return job.bandsDone == job.bandCount; });
    }

    void setThreadCount(int count) {
        threadCount_.store(
            count == 0 ? defaultThreadCount() : std::clamp(count, 1, kMaxWorkerThreads),
            std::memory_order_relaxed);
    }

    int threadCount() const { return threadCount_.load(std::memory_order_relaxed); }

    void shutdown() {
        std::vector<std::thread> stopping;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            stopping.swap(workers_);
        }
        wake_.notify_all();
        for (std::thread &worker : stopping) {
            worker.join();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }

    int liveWorkers() {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(workers_.size());
    }

private:
    // Starts threads until `wanted` are alive. A thread that cannot be started only makes the
    // pool smaller: callers do the remaining work themselves.
    void startWorkersLocked(int wanted) {
        if (stopping_) {
            return;
        }
        while (static_cast<int>(workers_.size()) < wanted) {
            try {
                workers_.emplace_back([this] { workerLoop(); });
            } catch (const std::system_error &) {
                return;
            }
        }
    }

    // Takes the next band of the job, runs it without the lock and counts it done.
    void runOneBandLocked(Job &job, std::unique_lock<std::mutex> &lock) {
        const int band = job.nextBand++;
        if (job.nextBand == job.bandCount) {
            queue_.erase(std::find(queue_.begin(), queue_.end(), &job));
        }
        const int first = job.bandBegin(band);
        const int end = job.bandBegin(band + 1);
        lock.unlock();
        job.body(first, end);
        lock.lock();
        if (++job.bandsDone == job.bandCount) {
            job.finished.notify_all();
        }
    }

    Job *jobForHelperLocked() {
        for (Job *job : queue_) {
            if (job->helpers < job->helpersAllowed) {
                return job;
            }
        }
        return nullptr;
    }

    void workerLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            Job *job = nullptr;
            wake_.wait(lock, [&] {
                job = jobForHelperLocked();
                return stopping_ || job != nullptr;
            });
            if (job == nullptr) {
                return;  // stopping, and no job wants help
            }
            ++job->helpers;
            while (job->nextBand < job->bandCount) {
                runOneBandLocked(*job, lock);
            }
            // The job may be gone now (its caller returns once its last band is done).
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Job *> queue_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;
    std::atomic<int> threadCount_;
};

// The pool is never destroyed, so no thread ever finds it gone. On POSIX systems its threads are
// joined at exit. On Windows they are not: static destructors run under the loader lock, where
// joining a thread deadlocks; the process's end takes the threads with it, and the library stops
// them itself before it can be unloaded (shutdownWorkerPool when the last context goes).
WorkerPool &pool() {
    static WorkerPool *const instance = new WorkerPool;
    return *instance;
}

#ifndef _WIN32
struct JoinAtExit {
    ~JoinAtExit() { pool().shutdown(); }
} joinAtExit;
#endif

}  // namespace

void parallelRows(int rowCount, int minRowsPerBand,
                  FunctionRef<void(int firstRow, int endRow)> body) {
    pool().run(rowCount, minRowsPerBand, body);
}

int workerThreadCount() {
    return pool().threadCount();
}

void setWorkerThreadCount(int threadCount) {
    pool().setThreadCount(threadCount);
}

void shutdownWorkerPool() {
    pool().shutdown();
}

int liveWorkerThreads() {
    return pool().liveWorkers();
}

}  // namespace ostrel::imaging
