// The per-address upload limit, on a clock of our own.
#include <gtest/gtest.h>

#include "server/upload_limit.h"

namespace {
const LimitClock::time_point start{};

LimitClock::time_point at(double seconds) {
    return start +
           std::chrono::duration_cast<LimitClock::duration>(std::chrono::duration<double>(seconds));
}
} // namespace

// Two a minute: a burst of two, then one more every 30 s; IPv6 addresses share a bucket per
// /64; a full table takes a new address only once a bucket is full again. Zero is no limit.
TEST(UploadLimit, BucketsFillAtTheRateAndAreSharedPerAddressOrSlash64) {
    UploadLimiter limiter;
    limiter.perMinute = 2;
    limiter.maxAddresses = 3;
    const struct {
        double seconds;
        const char* address;
        bool allowed;
    } steps[] = {
        {0, "10.0.0.1", true},          {0, "10.0.0.1", true},      {1, "10.0.0.1", false},
        {1, "10.0.0.2", true},          {1, "10.0.0.2", true},      {29.9, "10.0.0.1", false},
        {30.1, "10.0.0.1", true},       {30.2, "10.0.0.1", false},  {31, "2001:db8::1", true},
        {31, "2001:db8::ffff:2", true}, {31, "2001:db8::3", false}, {32, "10.0.0.3", false},
        {100, "10.0.0.3", true},
    };
    for (const auto& step : steps)
        EXPECT_EQ(takeUploadToken(limiter, step.address, at(step.seconds)), step.allowed)
            << step.address << " at " << step.seconds << " s";
    limiter.perMinute = 0;
    EXPECT_TRUE(takeUploadToken(limiter, "10.0.0.3", at(100)));
}
