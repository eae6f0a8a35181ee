#include "server/server_log.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const char* const prefix = "orbelle-score-server: ";

struct LogState {
    std::mutex guard;
    std::condition_variable wake, finished;
    std::string buffer;
    size_t capacity = 0;
    unsigned long long dropped = 0; // lines not written since the last report
    int fd = -1;
    bool running = false, stopping = false, done = false;
    unsigned generation = 0; // of the writer thread, which ends when another starts
};

// Never destroyed: a writer still blocked on a full pipe when the program ends must not find
// its state gone.
LogState& state = *new LogState;

// False when the output refused; the lines not written are then counted as dropped.
bool writeAll(int fd, const std::string& text, unsigned long long* lost) {
    for (size_t done = 0; done < text.size();) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *lost += std::count(text.begin() + long(done), text.end(), '\n');
            return false;
        }
        done += size_t(wrote);
    }
    return true;
}

std::string droppedReport(unsigned long long count) {
    return prefix + std::to_string(count) +
           " log lines dropped: standard error did not take them\n";
}

void writeLines(LogState& log, unsigned generation) {
    std::unique_lock<std::mutex> lock(log.guard);
    unsigned long long lost = 0; // lines a failed write took, reported with the next batch
    // At a stop, what is buffered and the count of what was dropped are written out; lines
    // that the output refused then are not tried again.
    while (log.generation == generation &&
           !(log.stopping && log.buffer.empty() && log.dropped == 0)) {
        log.wake.wait(lock, [&] { return log.stopping || !log.buffer.empty() || log.dropped > 0; });
        std::string lines;
        lines.swap(log.buffer);
        unsigned long long dropped = log.dropped + lost;
        log.dropped = lost = 0;
        lock.unlock();
        unsigned long long unused = 0;
        if (!writeAll(log.fd, lines, &lost) ||
            (dropped > 0 && !writeAll(log.fd, droppedReport(dropped), &unused)))
            lost += dropped;
        lock.lock();
    }
    if (log.generation == generation) {
        log.done = true;
        log.finished.notify_all();
    }
}
} // namespace

void startServerLog(int fd, size_t capacity) {
    std::lock_guard<std::mutex> lock(state.guard);
    state.fd = fd;
    state.capacity = capacity;
    state.running = true;
    state.stopping = state.done = false;
    std::thread(writeLines, std::ref(state), ++state.generation).detach();
}

void logLine(const std::string& line) {
    std::unique_lock<std::mutex> lock(state.guard);
    if (!state.running) {
        lock.unlock();
        fwrite(line.data(), 1, line.size(), stderr);
        return;
    }
    if (state.buffer.size() + line.size() > state.capacity) {
        if (state.dropped++ == 0)
            state.wake.notify_one();
        return;
    }
    state.buffer += line;
    state.wake.notify_one();
}

void logMessage(const std::string& text) {
    logLine(prefix + text + "\n");
}

void stopServerLog(int waitMillis) {
    std::unique_lock<std::mutex> lock(state.guard);
    if (!state.running)
        return;
    state.stopping = true;
    state.wake.notify_one();
    state.finished.wait_for(lock, std::chrono::milliseconds(waitMillis), [] { return state.done; });
    // A writer still blocked on its output stays so; lines from now on are written at once.
    state.running = false;
}

bool standardErrorIsJournal() {
    const char* stream = getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    struct stat error {};
    return stream != nullptr && sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
           fstat(STDERR_FILENO, &error) == 0 && error.st_dev == device && error.st_ino == inode;
}
