#include "render/uFBOPass.h"

#include "render/uFBO.h"

TFBOPassScope::TFBOPassScope(TFBO* target, TPassViewport viewport, int width, int height, TPassEnd end)
    : End(end) {
    const bool restore = End == TPassEnd::Restore;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &FoundFramebuffer);
    if (restore) glGetIntegerv(GL_VIEWPORT, FoundViewport);
    if (target) {
        try {
            target->Bind();
        } catch (...) {
            // TFBO leaves a target that failed its check bound; the abandoned frame must not draw into it.
            BindFound();
            throw;
        }
    } else {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    glViewport(viewport.X, viewport.Y, viewport.Width, viewport.Height);
    glMatrixMode(GL_PROJECTION);
    if (restore) glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    if (restore) glPushMatrix();
    glLoadIdentity();
}

TFBOPassScope::~TFBOPassScope() {
    if (End == TPassEnd::Restore) {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glViewport(FoundViewport[0], FoundViewport[1], FoundViewport[2], FoundViewport[3]);
    }
    BindFound();
}

void TFBOPassScope::BindFound() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(FoundFramebuffer));
}
