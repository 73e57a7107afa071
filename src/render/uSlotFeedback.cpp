#include "render/uSlotFeedback.h"

void TSlotFeedback::Ensure(int size, GLenum internalFormat) {
    if (Buffers[0] && Buffers[0]->Width == size && Buffers[0]->InternalFormat == internalFormat) return;
    for (auto& buffer : Buffers) {
        buffer = std::make_unique<TFBO>();
        // Drawn with the depth test off, like every pass: a depth buffer would be memory for nothing.
        buffer->Create(size, size, internalFormat, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, false);
    }
    Current = 0;
    Clear();
}

void TSlotFeedback::Clear() {
    GLfloat found[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, found);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    for (auto& buffer : Buffers) {
        if (!buffer) continue;
        buffer->Bind();
        glClear(GL_COLOR_BUFFER_BIT);
        buffer->Unbind();
    }
    glClearColor(found[0], found[1], found[2], found[3]);
}
