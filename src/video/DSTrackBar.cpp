#include "video/DSTrackBar.h"

#include "video/FilterGraph.h"

#include <algorithm>
#include <limits>

TDSTrackBar::~TDSTrackBar() {
    SetFilterGraph(nullptr);
}

void TDSTrackBar::SetFilterGraph(TFilterGraph* graph) {
    if (graph == FGraph) return;
    if (FGraph) FGraph->DetachTrackBar(this);
    FGraph = graph;
    if (FGraph) FGraph->AttachTrackBar(this);
}

void TDSTrackBar::SetPosition(int position) {
    position = std::clamp(position, Min(), FMax);
    if (position == FPosition) return;
    FPosition = position;
    if (OnChange) OnChange(this);
}

void TDSTrackBar::SetMax(int max) {
    FMax = std::max(max, Min());
    SetPosition(FPosition); // a shorter range pulls the thumb in
}

void TDSTrackBar::SetEnabled(bool enabled) {
    FEnabled = enabled;
    if (!enabled) FHeld = false;
}

void TDSTrackBar::TimerTick() {
    if (!FGraph || FHeld || FGraph->State() != TGraphState::Running) return;
    const int64_t intMax = std::numeric_limits<int>::max();
    SetMax(static_cast<int>(std::min(FGraph->Duration() / 1000, intMax)));
    SetPosition(static_cast<int>(std::min(FGraph->Position() / 1000, intMax)));
}

void TDSTrackBar::MouseDown() {
    if (FEnabled) FHeld = true;
}

void TDSTrackBar::UserMove(int position) {
    if (FEnabled) SetPosition(position);
}

void TDSTrackBar::MouseUp() {
    if (!FHeld) return;
    FHeld = false;
    if (!FGraph) return;
    // A range of 0 (a clip shorter than a second) can only mean the start.
    const int64_t target = FMax > 0 ? static_cast<int64_t>(FPosition) * FGraph->Duration() / FMax : 0;
    FGraph->SetPosition(target);
}
