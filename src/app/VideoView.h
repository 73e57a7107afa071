// VideoView.h: the plain video view (VideoWindow on Panel_DS): a native widget that shows the newest frame
// of its frame output stretched over its whole area, black while it has none. It owns the output that the
// video graph delivers into; the graph's streaming thread only stores the frame there and posts one queued
// notification, and this view takes the frame and repaints on the GUI thread when the notification
// arrives. Heavy OpenGL work on the same thread would starve ordinary update() requests, so the repaint is
// immediate. GUI thread only, except for what TVideoWindow itself allows.
#pragma once

#include "video/VideoWindow.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>

class TVideoView : public QWidget {
public:
    explicit TVideoView(QWidget* parent = nullptr);
    ~TVideoView() override; // detaches the output from its graph first: no notification after that

    // What the graph delivers into (SetFilterGraph attaches it).
    TVideoWindow& Output() { return FOutput; }

    // Black until the output receives a frame after this call: a new file shows none of the last one's.
    void Clear();
    bool HasPicture() const { return !FPicture.isNull(); }
    // The picture as shown before stretching: the frame's size, top row first.
    const QImage& Picture() const { return FPicture; }
    uint64_t PicturesTaken() const { return FTaken; } // frames taken from the output for painting

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void FrameArrived();

    TVideoWindow FOutput;
    std::atomic<bool> FNotifyPending{false};
    QImage FPicture;
    uint64_t FShownCount = 0; // the output's frame count at the last take or clear
    uint64_t FTaken = 0;
};
