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
    auto status = [&](httplib::Result answered) { return answered ? answered->status : 0; };
    auto send = [&] {
        httplib::Client client("127.0.0.1", http.port);
        return status(client.Post(scoreReplayPath, referenceReplay("0"), "text/plain"));
    };
    auto queued = [&] {
        std::lock_guard<std::mutex> lock(replayWork.guard);
        return replayWork.jobs.size();
    };
    httplib::Client client("127.0.0.1", http.port);
    const std::string rank = std::string(scoreRankPath) + "?sija=1";

    // The check's one thread is busy until released; one replay fills the queue.
    std::promise<void> started, release;
    ASSERT_TRUE(submitWork(replayWork, [&, released = release.get_future().share()] {
        started.set_value();
        released.wait();
    }));
    started.get_future().wait();
    std::future<int> waiting = std::async(std::launch::async, send);
    for (int i = 0; i < 1000 && queued() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(queued(), 1u);
    EXPECT_EQ(send(), 503);
    EXPECT_EQ(status(client.Get(rank.c_str())), 200);
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    release.set_value();
    EXPECT_EQ(waiting.get(), 200);
    auto line = client.Get(rank.c_str());
    EXPECT_EQ(line ? line->body : "", "script 226");

    stopWorkPool(replayWork);
    stopWorkPool(storeWork);
    stopHttpDaemon(http);
    closeScoreStore(store);
    std::remove(settings.location.c_str());
}
