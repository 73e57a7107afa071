#include "control/ControlQueue.h"

#include "platform/Text.h"

namespace {

// Commands of one key replace each other; commands without one (a tap) queue up.
std::string TargetKey(const TControlCommand& command) {
    using K = TControlCommand::TKind;
    switch (command.Kind) {
    case K::SetParam:
        return "p" + std::to_string(command.Slot) + "/" + std::to_string(command.Component) + "/" +
               std::to_string(command.Count) + "/" + AsciiLower(command.Name);
    case K::SetActive:
        return "a" + std::to_string(command.Slot);
    case K::SetPlugin:
        return "g" + std::to_string(command.Slot);
    case K::Preset:
        return "r";
    case K::Play:
    case K::Pause:
    case K::Stop:
        return "t";
    case K::Bpm:
        return "b";
    default:
        return {};
    }
}

} // namespace

bool TControlQueue::Push(TControlCommand&& command, bool& wasEmpty) {
    const std::string key = TargetKey(command);
    std::lock_guard guard(Lock);
    wasEmpty = Live == 0;
    if (!key.empty()) {
        if (auto found = ByTarget.find(key); found != ByTarget.end()) {
            Waiting[found->second].Slot = -1;
            --Live;
            ByTarget.erase(found);
        }
    }
    if (Live >= kControlQueueLimit) {
        ++DroppedCount;
        return false;
    }
    // Replaced entries are dropped from the store before it grows past twice the limit.
    if (Waiting.size() >= 2 * kControlQueueLimit) {
        std::vector<TControlCommand> kept;
        kept.reserve(Live + 1);
        ByTarget.clear();
        for (TControlCommand& waiting : Waiting) {
            if (waiting.Slot < 0) continue;
            const std::string waitingKey = TargetKey(waiting);
            if (!waitingKey.empty()) ByTarget[waitingKey] = kept.size();
            kept.push_back(std::move(waiting));
        }
        Waiting = std::move(kept);
    }
    if (!key.empty()) ByTarget[key] = Waiting.size();
    Waiting.push_back(std::move(command));
    ++Live;
    return true;
}

std::vector<TControlCommand> TControlQueue::Take() {
    std::vector<TControlCommand> taken;
    {
        std::lock_guard guard(Lock);
        taken.swap(Waiting);
        ByTarget.clear();
        Live = 0;
    }
    std::erase_if(taken, [](const TControlCommand& command) { return command.Slot < 0; });
    return taken;
}

uint64_t TControlQueue::Dropped() const {
    std::lock_guard guard(Lock);
    return DroppedCount;
}
