// A token bucket per client address for uploads, so that one address cannot fill the list.
// A player's upload is ten requests, far below the limit.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

using LimitClock = std::chrono::steady_clock;

struct UploadBucket {
    double tokens = 0;
    LimitClock::time_point filled; // when tokens was last brought up to date
};

struct UploadLimiter {
    unsigned perMinute = 120; // also the burst; 0 turns the limit off
    size_t maxAddresses = 65536;
    std::mutex guard;
    std::unordered_map<std::string, UploadBucket> buckets;
    LimitClock::time_point lastSweep;
};

// True when the address may upload now, and takes one token for it. Addresses of one client
// group share a bucket. When maxAddresses groups are held and none has a full bucket again,
// new ones are refused until one has; the table is looked through for those at most once a
// second.
bool takeUploadToken(UploadLimiter& limiter, const std::string& address,
                     LimitClock::time_point now);
