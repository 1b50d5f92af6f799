#include "physics/workers.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace {

int hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min<unsigned>(n, kMaxWorkerThreads));
}

// ZYR_THREADS when it holds a thread count we accept, else 0.
int threadsFromEnvironment() {
    const char* text = std::getenv("ZYR_THREADS");
    if (!text) return 0;
    const std::string_view value(text);
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && end == value.data() + value.size() && n >= 1 && n <= kMaxWorkerThreads ? n : 0;
}

int defaultThreads() {
    const int n = threadsFromEnvironment();
    return n > 0 ? n : hardwareThreads();
}

}  // namespace

std::string workerThreadsWarning() {
    const char* text = std::getenv("ZYR_THREADS");
    if (!text || threadsFromEnvironment() > 0) return {};
    return "ignoring ZYR_THREADS='" + std::string(text) + "': not a whole number from 1 to " +
           std::to_string(kMaxWorkerThreads) + "; using " + std::to_string(hardwareThreads()) + " threads";
}

namespace {

class Pool {
public:
    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() { stopWorkers(); }

    int threads() {
        std::lock_guard call(callMutex_);
        return decidedThreads();
    }

    void setThreads(int count) {
        std::lock_guard call(callMutex_);
        stopWorkers();
        threads_ = std::clamp(count, 1, kMaxWorkerThreads);
    }

    void run(int count, workers_detail::TaskFn fn, void* context) {
        if (count <= 0) return;
        std::lock_guard call(callMutex_);
        startWorkers();
        if (workers_.empty() || count == 1) {
            for (int k = 0; k < count; ++k) fn(context, k);
            return;
        }
        std::uint32_t generation;
        {
            std::lock_guard lock(mutex_);
            generation = ++generation_;
            fn_ = fn;
            context_ = context;
            count_ = count;
            done_.store(0, std::memory_order_relaxed);
            ticket_.store(std::uint64_t{generation} << 32, std::memory_order_release);
        }
        wake_.notify_all();
        drain(generation, fn, context, count);
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return done_.load(std::memory_order_acquire) == count; });
    }

private:
    int decidedThreads() {
        if (threads_ == 0) threads_ = defaultThreads();
        return threads_;
    }

    // Workers start with the first parallel loop, so that a process that never
    // computes forces never starts a thread.
    void startWorkers() {
        const int wanted = decidedThreads() - 1;
        if (static_cast<int>(workers_.size()) == wanted) return;
        std::uint32_t current;
        {
            std::lock_guard lock(mutex_);
            current = generation_;
        }
        try {
            while (static_cast<int>(workers_.size()) < wanted)
                workers_.emplace_back([this, current] { workerLoop(current); });
        } catch (const std::system_error&) {
            // The system gives no more threads: go on with those it gave.
            threads_ = static_cast<int>(workers_.size()) + 1;
        }
    }

    void stopWorkers() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_) t.join();
        workers_.clear();
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }

    void workerLoop(std::uint32_t seen) {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            const workers_detail::TaskFn fn = fn_;
            void* const context = context_;
            const int count = count_;
            lock.unlock();
            drain(seen, fn, context, count);
            lock.lock();
        }
    }

    // Claims and runs tasks of the given loop until none is left. The
    // generation travels in the ticket with the task index, so a worker that
    // wakes after its loop has ended can never claim a task of the next one.
    void drain(std::uint32_t generation, workers_detail::TaskFn fn, void* context, int count) {
        std::uint64_t ticket = ticket_.load(std::memory_order_acquire);
        for (;;) {
            if (static_cast<std::uint32_t>(ticket >> 32) != generation) return;
            const auto task = static_cast<std::uint32_t>(ticket);
            if (task >= static_cast<std::uint32_t>(count)) return;
            if (!ticket_.compare_exchange_weak(ticket, ticket + 1, std::memory_order_acq_rel,
                                               std::memory_order_acquire))
                continue;
            fn(context, static_cast<int>(task));
            if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
                std::lock_guard lock(mutex_);
                finished_.notify_one();
            }
            ticket = ticket_.load(std::memory_order_acquire);
        }
    }

    std::mutex callMutex_;  // one parallel loop (or reconfiguration) at a time
    std::mutex mutex_;      // guards everything below that is not atomic
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::vector<std::thread> workers_;
    int threads_ = 0;  // 0 until decided
    bool stopping_ = false;
    std::uint32_t generation_ = 0;
    workers_detail::TaskFn fn_ = nullptr;
    void* context_ = nullptr;
    int count_ = 0;
    std::atomic<std::uint64_t> ticket_{0};
    std::atomic<int> done_{0};
};

Pool& pool() {
    static Pool instance;
    return instance;
}

}  // namespace

int workerThreads() { return pool().threads(); }

void setWorkerThreads(int count) { pool().setThreads(count); }

void workers_detail::run(int count, TaskFn fn, void* context) { pool().run(count, fn, context); }
