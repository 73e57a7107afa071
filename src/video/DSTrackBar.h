// DSTrackBar.h: the model of the position bar under the video. While its graph runs, the owner's
// 1000 ms timer (TimerTick) sets the range to 0 .. duration and the position to the playing second; while
// the user holds the bar the timer leaves it alone, and letting go seeks the graph. Owner's thread only.
#pragma once

#include <cstdint>
#include <functional>

class TFilterGraph;

class TDSTrackBar {
public:
    static constexpr int kTimerIntervalMs = 1000;
    using TChangeEvent = std::function<void(TDSTrackBar* sender)>;

    TDSTrackBar() = default;
    ~TDSTrackBar(); // detaches
    TDSTrackBar(const TDSTrackBar&) = delete;
    TDSTrackBar& operator=(const TDSTrackBar&) = delete;

    TChangeEvent OnChange; // every change of Position, by the timer, the program or the user

    void SetFilterGraph(TFilterGraph* graph); // nullptr detaches
    TFilterGraph* FilterGraph() const { return FGraph; }

    int Min() const { return 0; }
    int Max() const { return FMax; }           // seconds
    int Position() const { return FPosition; } // seconds
    void SetPosition(int position);            // clamped to Min .. Max
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);

    void TimerTick();

    // The left mouse button on the bar. Ignored while the bar is disabled.
    void MouseDown();
    void UserMove(int position);
    void MouseUp(); // seeks to Position / Max of the duration; raises what the seek raises
    bool Held() const { return FHeld; }

private:
    friend class TFilterGraph;
    void SetMax(int max);
    TFilterGraph* FGraph = nullptr;
    int FMax = 10; // until the first tick, the range of a fresh track bar
    int FPosition = 0;
    bool FEnabled = true;
    bool FHeld = false;
};
