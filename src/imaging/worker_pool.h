// The library's pool of worker threads, used to split whole-frame pixel work into bands of rows.
//
// One pool serves the whole process: its threads are created once, on first use, one per
// processor core (the calling thread counts as one of them), and are shared by every context.
// Several threads may call parallelRows at the same time (each context's capture thread does);
// a caller always works on its own job too, so a call never waits for a busy pool to free up and
// a band body may itself call parallelRows.
//
// The threads are stopped by shutdownWorkerPool, which must be called from an ordinary thread
// (the library does so when its last context is released), never from a static destructor or
// the Windows loader's notification: a thread must not be joined while the loader lock is held.
// A later parallelRows starts the threads again. At process exit nothing needs to be called.
#pragma once

#include "imaging/function_ref.h"

namespace ostrel::imaging {

// The most threads a job may use, the caller included.
inline constexpr int kMaxWorkerThreads = 64;

// Calls body(firstRow, endRow) for consecutive bands that together cover rows 0 .. rowCount - 1
// exactly once, each band at least minRowsPerBand rows long (except when rowCount is smaller),
// on up to workerThreadCount() threads; returns when every band is done. Bands are independent:
// the body must not rely on their order or on which thread runs them. Does nothing when
// rowCount <= 0. Any thread.
void parallelRows(int rowCount, int minRowsPerBand,
                  FunctionRef<void(int firstRow, int endRow)> body);

// The number of threads a job uses (the caller included); one per core unless changed.
int workerThreadCount();

// Sets the number of threads a job uses, 1 .. kMaxWorkerThreads (values outside are clamped);
// 0 restores one per core. For tests and benchmarks; takes effect for jobs started afterwards.
void setWorkerThreadCount(int threadCount);

// Stops and joins the worker threads (jobs still running are finished by their callers first).
// Ordinary threads only (see above).
void shutdownWorkerPool();

// The number of worker threads currently alive (not counting callers). For tests.
int liveWorkerThreads();

}  // namespace ostrel::imaging
