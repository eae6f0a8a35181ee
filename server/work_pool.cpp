#include "server/work_pool.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {
void runJobs(WorkPool& pool, int niceness) {
    if (niceness != 0)
        setpriority(PRIO_PROCESS, id_t(gettid()), niceness);
    std::unique_lock<std::mutex> lock(pool.guard);
    for (;;) {
        pool.queued.wait(lock, [&] { return pool.stopping || !pool.jobs.empty(); });
        if (pool.jobs.empty())
            return;
        std::function<void()> job = std::move(pool.jobs.front());
        pool.jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}
} // namespace

void startWorkPool(WorkPool& pool, unsigned threads, size_t queueLimit, int niceness) {
    pool.queueLimit = queueLimit;
    pool.stopping = false;
    for (unsigned i = 0; i < threads; ++i)
        pool.threads.emplace_back(runJobs, std::ref(pool), niceness);
}

bool submitWork(WorkPool& pool, std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(pool.guard);
        if (pool.stopping || pool.jobs.size() >= pool.queueLimit)
            return false;
        pool.jobs.push_back(std::move(job));
    }
    pool.queued.notify_one();
    return true;
}

void stopWorkPool(WorkPool& pool) {
    {
        std::lock_guard<std::mutex> lock(pool.guard);
        pool.stopping = true;
    }
    pool.queued.notify_all();
    for (std::thread& thread : pool.threads)
        thread.join();
    pool.threads.clear();
}
