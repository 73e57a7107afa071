// AppGLHelpers.h: GL-side steps the app tests need, kept apart from the Qt files (the GL binding and Qt's
// GL headers never share a file). The engine's context must be current.
#pragma once

class TRenderEngine;

// Replaces the framebuffer every frame draws the source into with one that fails its completeness check
// (a depth format as the colour attachment): the next frame raises. RecreateFBOs mends it.
void BreakSourceFramebuffer(TRenderEngine& engine);
