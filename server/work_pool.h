// A few threads that run jobs from a bounded queue, so that work which may block or take long
// (a database call, a check that costs CPU) never runs on an event loop. Each kind of work
// has a pool of its own, so that one kind stalling leaves the others going.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct WorkPool {
    size_t queueLimit = 512;
    std::mutex guard;
    std::condition_variable queued;
    std::deque<std::function<void()>> jobs;
    std::vector<std::thread> threads;
    bool stopping = false;
};

// A niceness above 0 lowers the threads' priority below the rest of the process (Linux sets it
// per thread), for work that may take the CPU for a while.
void startWorkPool(WorkPool& pool, unsigned threads, size_t queueLimit, int niceness = 0);
// False, and job dropped, when the queue is full or the pool stopping: the caller answers at
// once instead of waiting.
bool submitWork(WorkPool& pool, std::function<void()> job);
// Takes no more jobs, runs those queued and joins the threads.
void stopWorkPool(WorkPool& pool);
