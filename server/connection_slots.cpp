#include "server/connection_slots.h"

#include <sys/socket.h>

namespace {
void release(ConnectionSlots& slots, Slot* slot) {
    if (slot->waiting)
        slots.waiting.erase(slot->place);
    slot->waiting = false;
    --slots.held;
    auto group = slots.groups.find(slot->group);
    if (--group->second == 0)
        slots.groups.erase(group);
}

// The event loop that owns the connection sees it end and closes it.
void drop(ConnectionSlots& slots, Slot* slot) {
    shutdown(slot->fd, SHUT_RDWR);
    release(slots, slot);
    slot->dropped = true;
}

bool hasRoom(const ConnectionSlots& slots, const std::string& group) {
    auto found = slots.groups.find(group);
    if (slots.perGroup > 0 && found != slots.groups.end() && found->second >= slots.perGroup)
        return false;
    return slots.held < slots.total || !slots.waiting.empty();
}
} // namespace

bool admitConnection(ConnectionSlots& slots, const std::string& group) {
    std::lock_guard<std::mutex> lock(slots.guard);
    return hasRoom(slots, group);
}

Slot* openSlot(ConnectionSlots& slots, const std::string& group, int fd,
               SlotClock::time_point now) {
    auto* slot = new Slot;
    slot->group = group;
    slot->fd = fd;
    slot->waitingSince = now;
    std::lock_guard<std::mutex> lock(slots.guard);
    bool admitted = hasRoom(slots, group);
    if (admitted && slots.held >= slots.total)
        drop(slots, slots.waiting.front());
    ++slots.held;
    ++slots.groups[group];
    slot->place = slots.waiting.insert(slots.waiting.end(), slot);
    if (!admitted)
        drop(slots, slot);
    return slot;
}

void markBusy(ConnectionSlots& slots, Slot* slot) {
    std::lock_guard<std::mutex> lock(slots.guard);
    if (slot->waiting)
        slots.waiting.erase(slot->place);
    slot->waiting = false;
}

void markWaiting(ConnectionSlots& slots, Slot* slot, SlotClock::time_point now) {
    std::lock_guard<std::mutex> lock(slots.guard);
    if (slot->dropped)
        return;
    if (slot->waiting)
        slots.waiting.erase(slot->place);
    slot->waiting = true;
    slot->waitingSince = now;
    slot->place = slots.waiting.insert(slots.waiting.end(), slot);
}

void closeSlot(ConnectionSlots& slots, Slot* slot) {
    {
        std::lock_guard<std::mutex> lock(slots.guard);
        if (!slot->dropped)
            release(slots, slot);
    }
    delete slot;
}

void dropOverdue(ConnectionSlots& slots, SlotClock::time_point now) {
    std::lock_guard<std::mutex> lock(slots.guard);
    while (!slots.waiting.empty() && now - slots.waiting.front()->waitingSince >= slots.headerTime)
        drop(slots, slots.waiting.front());
}
