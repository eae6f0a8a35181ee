// What each client may take: its group of addresses, its connection slots (with the header
// deadline and making room) and its uploads, on a clock of our own.
#include <gtest/gtest.h>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <set>

#include "server/client_group.h"
#include "server/connection_slots.h"
#include "server/upload_limit.h"

namespace {
const SlotClock::time_point start{};

SlotClock::time_point at(double seconds) {
    return start +
           std::chrono::duration_cast<SlotClock::duration>(std::chrono::duration<double>(seconds));
}

// The group of the socket address that text names.
std::string groupOfSocketAddress(const char* text) {
    addrinfo hints{}, *found = nullptr;
    hints.ai_flags = AI_NUMERICHOST;
    EXPECT_EQ(getaddrinfo(text, nullptr, &hints, &found), 0) << text;
    std::string group = found ? clientGroup(found->ai_addr) : "";
    freeaddrinfo(found);
    return group;
}

// Connections as socket pairs: the test holds the client's end and sees the server's end
// shut down.
struct Connections {
    ~Connections() {
        for (auto& [name, ends] : open) {
            close(ends.first);
            close(ends.second);
        }
    }
    int add(const std::string& name) {
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        open[name] = {ends[0], ends[1]};
        return ends[0];
    }
    bool droppedByServer(const std::string& name) {
        char byte;
        return recv(open[name].second, &byte, 1, MSG_DONTWAIT) == 0;
    }
    std::map<std::string, std::pair<int, int>> open;
};
} // namespace

TEST(ClientGroup, IPv4WholeMappedOrNotAndIPv6ByItsSlash64) {
    const struct {
        const char *one, *other;
        bool same;
    } cases[] = {
        {"10.0.0.1", "10.0.0.1", true},
        {"10.0.0.1", "10.0.0.2", false},
        {"10.0.0.1", "::ffff:10.0.0.1", true},
        {"::ffff:10.0.0.1", "::ffff:10.0.0.2", false},
        {"2001:db8:1:2::1", "2001:db8:1:2:ffff:ffff:ffff:ffff", true},
        {"2001:db8:1:2::1", "2001:db8:1:3::1", false},
        {"::1", "::", true},
        {"::ffff:0.0.0.1", "::1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clientGroup(c.one) == clientGroup(c.other), c.same) << c.one << " " << c.other;
        EXPECT_EQ(groupOfSocketAddress(c.one) == clientGroup(c.other), c.same) << c.one;
    }
}

// Three slots, two per group, headers due within 5 s of waiting.
TEST(ConnectionSlots, GroupsAreCappedOverdueHeadersDroppedAndTheLongestWaitingMakesRoom) {
    ConnectionSlots slots;
    slots.total = 3;
    slots.perGroup = 2;
    Connections connections;
    std::map<std::string, Slot*> held;
    std::set<std::string> dropped;
    enum Step { open, refused, busy, waiting, overdue, closed };
    const struct {
        int second;
        Step step;
        const char *name, *group;
        const char* droppedNow; // the connection shut down by this step, if any
    } steps[] = {
        {0, open, "a1", "A", ""},   {1, open, "a2", "A", ""},    {1, refused, "a0", "A", "a0"},
        {2, open, "b1", "B", ""},   {2, busy, "a1", "", ""},    // full: a1 busy, a2 and b1 wait
        {3, open, "c1", "C", "a2"}, {3, open, "a3", "A", "b1"}, // a2, then b1 made room
        {4, waiting, "a2", "", ""},                             // its end after it was dropped
        {4, busy, "c1", "", ""},    {4, busy, "a3", "", ""},     {4, refused, "d0", "D", "d0"},
        {5, closed, "a1", "", ""},  {5, open, "d1", "D", ""},    {6, waiting, "c1", "", ""},
        {9, overdue, "", "", ""},   {10, overdue, "", "", "d1"}, {11, overdue, "", "", "c1"},
        {12, open, "e1", "E", ""},  {12, open, "e2", "E", ""},   {12, refused, "e3", "E", "e3"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::to_string(s.second) + " s " + s.name + s.droppedNow);
        switch (s.step) {
        case open:
        case refused: // a first look, then the slot that decides
            ASSERT_EQ(admitConnection(slots, s.group), s.step == open);
            held[s.name] = openSlot(slots, s.group, connections.add(s.name), at(s.second));
            EXPECT_EQ(held[s.name]->dropped, s.step == refused);
            break;
        case busy:
            markBusy(slots, held[s.name]);
            break;
        case waiting:
            markWaiting(slots, held[s.name], at(s.second));
            break;
        case overdue:
            dropOverdue(slots, at(s.second));
            break;
        case closed:
            closeSlot(slots, held[s.name]);
            held.erase(s.name);
            break;
        }
        std::string droppedNow;
        for (auto& [name, ends] : connections.open)
            if (connections.droppedByServer(name) && dropped.insert(name).second)
                droppedNow += name;
        EXPECT_EQ(droppedNow, s.droppedNow);
    }
    for (auto& [name, slot] : held)
        closeSlot(slots, slot);
    EXPECT_EQ(slots.held, 0u);
    EXPECT_TRUE(slots.groups.empty());
}

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
