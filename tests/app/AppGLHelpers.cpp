#include "AppGLHelpers.h"

#include "gl/GL.h"
#include "render/uFBO.h"
#include "render/uRenderEngine.h"

#include <memory>

void BreakSourceFramebuffer(TRenderEngine& engine) {
    engine.FBOA = std::make_unique<TFBO>();
    engine.FBOA->Create(engine.FBOSize, engine.FBOSize, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT,
                        GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
}
