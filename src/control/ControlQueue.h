// ControlQueue.h: commands on their way from a receiving thread (OSC, MIDI) to the GUI thread. Bounded, and
// a command that only sets state replaces one of the same target still waiting (the newest value of a fader
// wins; at most one preset or plugin load per slot waits), moving to the end so that the order of different
// targets is kept. A flood therefore costs the GUI thread at most one change per target per turn.
// Push from any thread; Take from the consumer. Thread-safe, its lock inside.
#pragma once

#include "control/ControlCommand.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

inline constexpr size_t kControlQueueLimit = 4096;

class TControlQueue {
public:
    // False when the command was dropped (the queue is full of different targets). wasEmpty: nothing was
    // waiting before, so the consumer needs a wake-up.
    bool Push(TControlCommand&& command, bool& wasEmpty);
    // Everything waiting, in order, and the queue empty.
    std::vector<TControlCommand> Take();
    uint64_t Dropped() const;

private:
    mutable std::mutex Lock;
    std::vector<TControlCommand> Waiting; // entries with Slot < 0 are replaced ones, skipped by Take
    std::unordered_map<std::string, size_t> ByTarget;
    size_t Live = 0;
    uint64_t DroppedCount = 0;
};
