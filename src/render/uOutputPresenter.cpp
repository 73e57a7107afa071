#include "render/uOutputPresenter.h"

#include "gl/GL.h"
#include "render/uFBO.h"
#include "render/uOutputTarget.h"
#include "render/uRenderEngine.h"

#include <algorithm>

TOutputPresenter::TOutputPresenter() = default;
TOutputPresenter::~TOutputPresenter() = default;

void TOutputPresenter::AttachTo(TRenderEngine& engine, int width, int height) {
    if (!Target) Target = std::make_unique<TOutputTarget>();
    Target->Resize(std::max(1, width), std::max(1, height));
    engine.OutputTarget = &Target->Framebuffer();
}

void TOutputPresenter::ReleaseTarget(TRenderEngine* engine) {
    if (engine && Target && engine->OutputTarget == &Target->Framebuffer()) engine->OutputTarget = nullptr;
    Target.reset();
}

void TOutputPresenter::ReleaseWindowObjects() {
    if (ReadFramebuffer != 0) glDeleteFramebuffersEXT(1, &ReadFramebuffer);
    ReadFramebuffer = 0;
}

void TOutputPresenter::Present(TPresentRect rect, int windowWidth, int windowHeight) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(0, 0, windowWidth, windowHeight);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!Target || Target->Empty() || rect.Width <= 0 || rect.Height <= 0) return;
    if (ReadFramebuffer == 0) glGenFramebuffersEXT(1, &ReadFramebuffer);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, ReadFramebuffer);
    // The texture may have been made anew at another size under the same name: attached every time.
    glFramebufferTexture2DEXT(GL_READ_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              Target->Framebuffer().TextureHandle, 0);
    if (glCheckFramebufferStatusEXT(GL_READ_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT)
        glBlitFramebufferEXT(0, 0, Target->Width(), Target->Height(), rect.X, rect.Y, rect.X + rect.Width,
                             rect.Y + rect.Height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 0);
}
