// The server's work off the event loops: the bounded queue of a worker pool, and a log that
// drops what standard error does not take instead of waiting for it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <future>

#include "server/server_log.h"
#include "server/work_pool.h"

TEST(WorkPool, AFullQueueRefusesAtOnceAndAStopRunsWhatWasQueued) {
    WorkPool pool;
    startWorkPool(pool, 1, 2);
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> ran{0};
    auto count = [&] { ++ran; };
    ASSERT_TRUE(submitWork(pool, [&] {
        started.set_value();
        released.wait();
        ++ran;
    }));
    started.get_future().wait();
    const bool expected[] = {true, true, false};
    for (bool accepted : expected)
        EXPECT_EQ(submitWork(pool, count), accepted);
    release.set_value();
    stopWorkPool(pool);
    EXPECT_EQ(ran, 3);
    EXPECT_FALSE(submitWork(pool, count));
}

namespace {
// Everything the pipe holds until text has come, or the pipe's end.
std::string readUntil(int fd, const std::string& text) {
    std::string got;
    char buffer[4096];
    pollfd ready{fd, POLLIN, 0};
    while (got.find(text) == std::string::npos && poll(&ready, 1, 10000) == 1) {
        ssize_t size = read(fd, buffer, sizeof(buffer));
        if (size <= 0)
            break;
        got.append(buffer, size_t(size));
    }
    return got;
}
} // namespace

// 200 lines of 100 bytes against a pipe of 4 kB that nobody reads and a buffer of 1 kB: the
// calls return, and every line is either written or counted in the report that follows once
// the pipe is read.
TEST(ServerLog, LinesThatDoNotFitAreDroppedAndCounted) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    ASSERT_GT(fcntl(ends[1], F_SETPIPE_SZ, 4096), 0);
    startServerLog(ends[1], 1000);
    const std::string line = std::string(99, 'x') + "\n", report = " log lines dropped";
    for (int i = 0; i < 200; ++i)
        logLine(line);
    std::string got = readUntil(ends[0], report);
    logMessage("after");
    stopServerLog(10000);
    close(ends[1]);
    got += readUntil(ends[0], "after\n");
    close(ends[0]);
    size_t written = 0, at = 0;
    for (; got.compare(at, line.size(), line) == 0; at += line.size())
        ++written;
    const std::string prefix = "orbelle-score-server: ";
    ASSERT_EQ(got.compare(at, prefix.size(), prefix), 0) << got.substr(at);
    size_t dropped = std::stoul(got.substr(at + prefix.size()));
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(written + dropped, 200u);
    EXPECT_EQ(got.substr(got.find('\n', at) + 1), "orbelle-score-server: after\n");
}
