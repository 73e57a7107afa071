// FrameAdmission.h: what decides whether the streaming thread keeps a decoded frame for the OpenGL view.
// One value, written as a whole by the playback model, so no flag can be forgotten when another changes.
#pragma once

#include "video/PlayState.h"

struct TFrameAdmission {
    TPlayState PlayState = TPlayState::Ready;
    bool RenderGLWindow = true;  // "Render OpenGL" is on
    bool RenderSuspended = true; // the window paused rendering (opening, minimised, dialogs)
    bool Show_GLRenderer = true; // the viewer mode shows the OpenGL view

    // Frames are kept only while playing with the OpenGL view shown and rendering on.
    bool Admits() const {
        return PlayState == TPlayState::Playing && RenderGLWindow && !RenderSuspended && Show_GLRenderer;
    }
};
