#pragma once

#include <string>
#include <type_traits>

// A small pool of threads for the inner loops of one force evaluation or one
// bookkeeping pass. The caller hands over a number of tasks, takes tasks itself
// and returns when every task has run, so the rest of the program still sees
// one step at a time on one thread. Idle workers sleep on a condition
// variable. The pool is the process's: loops handed over from several
// threads at once (two galaxies stepped side by side) take turns, one loop
// at a time, each with its own tasks and context.
//
// The tasks are the unit of work and the caller chooses how many there are;
// which thread runs which task is left to chance. Kernels that must give the
// same result for every thread count therefore fix their partition by the
// size of the problem alone and combine the tasks' results in task order.

// The largest number of threads accepted from the command line or ZYR_THREADS.
inline constexpr int kMaxWorkerThreads = 256;

// Threads used from now on, counting the calling thread. Until set, the value
// of the environment variable ZYR_THREADS, or the number of hardware threads
// when it is not set or not a whole number from 1 to kMaxWorkerThreads.
int workerThreads();
// A sentence for the user when ZYR_THREADS is set but ignored, else empty;
// the programs say it where they say such things.
std::string workerThreadsWarning();
// Clamped to 1..kMaxWorkerThreads. Must not be called from inside a task.
void setWorkerThreads(int count);

namespace workers_detail {
using TaskFn = void (*)(void* context, int task);
void run(int count, TaskFn fn, void* context);
}  // namespace workers_detail

// Runs task(k) for every k in 0..count-1 and returns when all have finished.
// Tasks run concurrently; they must not throw nor call the functions of this
// header (no parallel loop inside another).
template <class Task>
void parallelFor(int count, Task&& task) {
    using T = std::remove_reference_t<Task>;
    workers_detail::run(
        count, [](void* context, int k) { (*static_cast<T*>(context))(k); },
        const_cast<void*>(static_cast<const void*>(&task)));
}

// Runs each(i) for every i in 0..n-1, in blocks of consecutive indices, for
// loops whose iterations are independent of one another (each writes only its
// own results): the outcome is that of the plain loop.
template <class Each>
void parallelForEach(int n, Each&& each) {
    constexpr int kBlock = 64;
    parallelFor((n + kBlock - 1) / kBlock, [&](int b) {
        const int end = n - b * kBlock < kBlock ? n : (b + 1) * kBlock;
        for (int i = b * kBlock; i < end; ++i) each(i);
    });
}
