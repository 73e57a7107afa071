#include "video/AudioSources.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kAnswerTime{1000};
constexpr int kPollSliceUs = 50000;

struct TListing {
    std::vector<TAudioSourceInfo> Sources;
    bool Done = false;
};

void OnSource(pa_context*, const pa_source_info* info, int eol, void* user) {
    auto& listing = *static_cast<TListing*>(user);
    if (eol != 0 || !info) {
        listing.Done = true;
        return;
    }
    listing.Sources.push_back({info->name ? info->name : "", info->description ? info->description : ""});
}

// Turns the loop until done or the time is up; false when the server failed or took too long.
template <class TDone> bool RunUntil(pa_mainloop* loop, pa_context* context, TDone done) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    while (!done()) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (pa_mainloop_prepare(loop, kPollSliceUs) < 0 || pa_mainloop_poll(loop) < 0 ||
            pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

} // namespace

std::vector<TAudioSourceInfo> ListAudioSources() {
    TListing listing;
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop) return {};
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Lumatex");
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
        RunUntil(loop, context, [&] { return pa_context_get_state(context) == PA_CONTEXT_READY; })) {
        if (pa_operation* op = pa_context_get_source_info_list(context, OnSource, &listing)) {
            if (!RunUntil(loop, context, [&] { return listing.Done; })) listing.Sources.clear();
            pa_operation_unref(op);
        }
    }
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return listing.Sources;
}
