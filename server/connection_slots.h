// Who may hold the server's connections. Every open connection has a slot. One that waits
// for a request (from its opening, or from its last answer) must deliver the request line
// and headers within headerTime, and when every slot is held, the one that has waited
// longest gives way to a newcomer; so connections that trickle a header byte now and then,
// from however many addresses, cannot keep anyone out for long. Each client group holds at
// most perGroup slots.
#pragma once

#include <chrono>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

using SlotClock = std::chrono::steady_clock;

struct Slot {
    std::string group; // the clientGroup of its address
    int fd = -1;
    bool waiting = true;  // no request is under way
    bool dropped = false; // shut down here; it counts no more, and closes soon
    SlotClock::time_point waitingSince;
    std::list<Slot*>::iterator place; // in ConnectionSlots::waiting while waiting
};

struct ConnectionSlots {
    unsigned total = 4096;
    unsigned perGroup = 32; // 0: no limit
    SlotClock::duration headerTime = std::chrono::seconds(5);
    std::mutex guard;
    std::list<Slot*> waiting; // the longest waiting first
    std::unordered_map<std::string, unsigned> groups;
    unsigned held = 0; // slots that are not dropped
};

// Whether a new connection from group could have a slot: false when the group holds all it
// may, or when every slot is busy with a request. A first look that spares a connection that
// would be refused anyway; openSlot decides.
bool admitConnection(ConnectionSlots& slots, const std::string& group);
// A slot for the connection just opened on fd, waiting from now. When every slot is held, the
// connection that has waited longest is dropped to make room; when there is none to drop, or
// the group holds all it may, the new connection is dropped itself.
Slot* openSlot(ConnectionSlots& slots, const std::string& group, int fd, SlotClock::time_point now);
// Its request line and headers are in: it waits no more until its answer has left.
void markBusy(ConnectionSlots& slots, Slot* slot);
void markWaiting(ConnectionSlots& slots, Slot* slot, SlotClock::time_point now);
// Frees the slot. Called before the descriptor is closed: a descriptor is only shut down here
// while its slot exists, so the number never names another connection's socket.
void closeSlot(ConnectionSlots& slots, Slot* slot);
// Drops every waiting connection whose headers are overdue at now.
void dropOverdue(ConnectionSlots& slots, SlotClock::time_point now);
