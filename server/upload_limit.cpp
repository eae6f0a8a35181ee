#include "server/upload_limit.h"

#include <algorithm>

#include "server/client_group.h"

namespace {
const auto sweepInterval = std::chrono::seconds(1);

void refill(const UploadLimiter& limiter, UploadBucket& bucket, LimitClock::time_point now) {
    double seconds = std::chrono::duration<double>(now - bucket.filled).count();
    bucket.tokens =
        std::min<double>(limiter.perMinute, bucket.tokens + seconds * limiter.perMinute / 60);
    bucket.filled = now;
}

// Buckets that are full again hold nothing worth keeping.
void dropFullBuckets(UploadLimiter& limiter, LimitClock::time_point now) {
    if (now - limiter.lastSweep < sweepInterval)
        return;
    limiter.lastSweep = now;
    for (auto it = limiter.buckets.begin(); it != limiter.buckets.end();) {
        refill(limiter, it->second, now);
        it = it->second.tokens >= limiter.perMinute ? limiter.buckets.erase(it) : std::next(it);
    }
}
} // namespace

bool takeUploadToken(UploadLimiter& limiter, const std::string& address,
                     LimitClock::time_point now) {
    if (limiter.perMinute == 0)
        return true;
    std::lock_guard<std::mutex> lock(limiter.guard);
    std::string key = clientGroup(address);
    auto found = limiter.buckets.find(key);
    if (found == limiter.buckets.end()) {
        if (limiter.buckets.size() >= limiter.maxAddresses)
            dropFullBuckets(limiter, now);
        if (limiter.buckets.size() >= limiter.maxAddresses)
            return false;
        found = limiter.buckets.emplace(key, UploadBucket{double(limiter.perMinute), now}).first;
    }
    UploadBucket& bucket = found->second;
    refill(limiter, bucket, now);
    if (bucket.tokens < 1)
        return false;
    bucket.tokens -= 1;
    return true;
}
