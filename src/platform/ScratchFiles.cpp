#include "platform/ScratchFiles.h"

#include "platform/ELumatex.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The scratch files of this process that an interrupting signal removes. The handler may run on any thread
// at any moment, so the list is fixed storage read through lock-free states, never a container.
constexpr int kScratchSlots = 8;
enum : int { kSlotFree, kSlotCreating, kSlotReady };
struct TScratchSlot {
    std::atomic<int> State{kSlotFree};
    char Path[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");
TScratchSlot ScratchSlots[kScratchSlots];

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t InterruptSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterruptSignals)
        sigaddset(&set, signal);
    return set;
}

// While a slot is being filled, its own thread must not run the handler: the handler waits for filled
// slots, which would never happen then.
class TInterruptsHeld {
public:
    TInterruptsHeld() {
        const sigset_t set = InterruptSignalSet();
        pthread_sigmask(SIG_BLOCK, &set, &Previous);
    }
    ~TInterruptsHeld() { pthread_sigmask(SIG_SETMASK, &Previous, nullptr); }
    TInterruptsHeld(const TInterruptsHeld&) = delete;
    TInterruptsHeld& operator=(const TInterruptsHeld&) = delete;

private:
    sigset_t Previous;
};

TScratchSlot* ClaimScratchSlot(const std::string& pattern) {
    if (pattern.size() >= PATH_MAX) return nullptr;
    for (TScratchSlot& slot : ScratchSlots) {
        int expected = kSlotFree;
        if (!slot.State.compare_exchange_strong(expected, kSlotCreating)) continue;
        std::memcpy(slot.Path, pattern.c_str(), pattern.size() + 1);
        return &slot;
    }
    return nullptr;
}

extern "C" void RemoveScratchFilesAndEnd(int signal) {
    // Only async-signal-safe calls here. A slot being filled on another thread is waited for: its file
    // may exist already.
    for (TScratchSlot& slot : ScratchSlots)
        while (slot.State.load() == kSlotCreating)
            sched_yield();
    for (TScratchSlot& slot : ScratchSlots)
        if (slot.State.load() == kSlotReady) unlink(slot.Path);
    // The default action is back (SA_RESETHAND): the process ends as the signal would have ended it, and
    // whoever started it sees that signal.
    raise(signal);
}

} // namespace

std::string CreateScratchFile(const std::string& target, const std::string& extension) {
    // A name of its own in the target's folder: one made from the target's name would overflow the file
    // system's limit for names the target itself still fits.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string pattern = folder + "lumatex-XXXXXX" + extension;
    std::vector<char> unlisted;
    TInterruptsHeld held;
    TScratchSlot* slot = ClaimScratchSlot(pattern);
    if (!slot) unlisted.assign(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
    char* name = slot ? slot->Path : unlisted.data();
    const int fd = mkstemps(name, static_cast<int>(extension.size()));
    if (fd < 0) {
        const int error = errno;
        if (slot) slot->State.store(kSlotFree);
        throw ELumatex(
            FormatText("cannot create a file beside %s: %s", target.c_str(), std::strerror(error)));
    }
    if (slot) slot->State.store(kSlotReady);
    // mkstemps makes the file private; the result should get the permissions any new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return std::string(name);
}

void ForgetScratchFile(const std::string& path) {
    for (TScratchSlot& slot : ScratchSlots) {
        if (slot.State.load() != kSlotReady || path != slot.Path) continue;
        int expected = kSlotReady;
        if (slot.State.compare_exchange_strong(expected, kSlotFree)) return;
    }
}

void RemoveScratchFilesOnSignals() {
    for (int signal : kInterruptSignals) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) != 0) continue;
        // A signal ignored from the start (a background job, nohup) or handled by someone else stays so.
        if ((previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = RemoveScratchFilesAndEnd;
        action.sa_mask = InterruptSignalSet();
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
}
