#include "gl/GLErrors.h"

#include "gl/GL.h"

#include <new>

void RaiseForGLOutOfMemory() {
    bool outOfMemory = false;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        outOfMemory = outOfMemory || error == GL_OUT_OF_MEMORY;
    if (outOfMemory) throw std::bad_alloc();
}
