// The server's work off the event loops: the bounded queue of a worker pool, and a log that
// drops what standard error does not take instead of waiting for it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <sstream>
#include <thread>

#include "server/server_log.h"
#include "server/store_backends.h"
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

// 200 lines of 100 bytes against a pipe of 4 kB that nobody reads yet and a buffer of 1 kB:
// the calls return at once, and every line is either written or counted in a report.
TEST(ServerLog, LinesThatDoNotFitAreDroppedAndCounted) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    ASSERT_GT(fcntl(ends[1], F_SETPIPE_SZ, 4096), 0);
    startServerLog(ends[1], 1000);
    const std::string line(99, 'x'),
        report = " log lines dropped: standard error did not take them";
    for (int i = 0; i < 200; ++i)
        logLine(line + "\n");
    std::string got;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t size; (size = read(ends[0], buffer, sizeof(buffer))) > 0;)
            got.append(buffer, size_t(size));
    });
    stopServerLog(10000);
    close(ends[1]);
    reader.join();
    close(ends[0]);
    std::istringstream lines(got);
    std::string text;
    unsigned long written = 0, dropped = 0, strange = 0;
    while (std::getline(lines, text)) {
        if (text == line)
            ++written;
        else if (text.size() > report.size() && text.rfind(report) == text.size() - report.size())
            dropped += std::stoul(text.substr(text.find(' ') + 1));
        else
            ++strange;
    }
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(written + dropped, 200u);
    EXPECT_EQ(strange, 0u);
}

// A store failing on every request reports each reason once, not once a request.
TEST(StoreFailures, EachReasonIsToldOnceAtATime) {
    FailureReports reports;
    testing::internal::CaptureStderr();
    for (const char* reason : {"locked", "locked", "full", "locked", "full"})
        reportStoreFailure(reports, "scores.db", reason);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "orbelle-score-server: scores.db: locked; requests are answered with 503\n"
              "orbelle-score-server: scores.db: full; requests are answered with 503\n");
}
