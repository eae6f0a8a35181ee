// Replays through the real HTTP layer: while the check is busy, a full queue answers 503 at
// once and rank requests go on; the replay that waited is answered when its turn comes.
#include <gtest/gtest.h>

#include <future>

#include "server/score_server.h"
#include "tests/support/local_servers.h"
#include "tests/support/reference_replays.h"

TEST(ReplayHttp, AFullCheckQueueAnswersAtOnceAndRanksGoOn) {
    StoreSettings settings;
    settings.location = freshScoreDatabase();
    ScoreStore store;
    std::string error;
    ASSERT_TRUE(openScoreStore(store, settings, &error)) << error;
    WorkPool storeWork, replayWork;
    startWorkPool(storeWork, 1, 8);
    startWorkPool(replayWork, 1, 1);
    ScoreRoutes routes;
    routes.store = &store;
    routes.storeWork = &storeWork;
    routes.replayWork = &replayWork;
    HttpDaemon http;
    http.handler = [&](const HttpRequest& request) { return routeScoreRequest(routes, request); };
    http.bodyRoutes = {{"POST", scoreReplayPath, replayMaxFileBytes}};
    http.accessLog = false;
    ASSERT_TRUE(openListenSocket(http, "127.0.0.1", 0, &error) && startHttpDaemon(http, &error));

    // The check's one thread is busy until released.
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(submitWork(replayWork, [&] {
        started.set_value();
        released.wait();
    }));
    started.get_future().wait();
    const std::string genuine = referenceReplay("0");
    auto send = [&] {
        httplib::Client client("127.0.0.1", http.port);
        auto answered = client.Post(scoreReplayPath, genuine, "application/octet-stream");
        return answered ? answered->status : 0;
    };
    std::future<int> queued = std::async(std::launch::async, send);
    auto queueFull = [&] {
        std::lock_guard<std::mutex> lock(replayWork.guard);
        return replayWork.jobs.size() == 1;
    };
    for (int i = 0; i < 1000 && !queueFull(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(queueFull());
    EXPECT_EQ(send(), 503);
    httplib::Client client("127.0.0.1", http.port);
    auto rank = client.Get((std::string(scoreRankPath) + "?sija=1").c_str());
    EXPECT_EQ(rank ? rank->status : 0, 200);
    EXPECT_EQ(queued.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    release.set_value();
    EXPECT_EQ(queued.get(), 200);
    rank = client.Get((std::string(scoreRankPath) + "?sija=1").c_str());
    EXPECT_EQ(rank ? rank->body : "", "script 226");

    stopWorkPool(replayWork);
    stopWorkPool(storeWork);
    stopHttpDaemon(http);
    closeScoreStore(store);
    std::remove(settings.location.c_str());
}
