// uFBO.h: one offscreen target, a colour texture plus a depth renderbuffer of the same size (or, for a
// target drawn without the depth test, the colour texture alone).
// Owns the framebuffer, the renderbuffer and the texture. GUI thread only; the owning GL context must be
// current for Create, Bind, Unbind, BindTexture and the destructor (when something was created).
#pragma once

#include "gl/GL.h"

class TFBO {
public:
    TFBO() = default; // owns nothing yet; safe to destroy without a context
    TFBO(const TFBO&) = delete;
    TFBO& operator=(const TFBO&) = delete;
    ~TFBO(); // deletes framebuffer, renderbuffer, texture, in that order

    // Stores the values and creates the three objects (no renderbuffer without withDepth), bound to nothing
    // afterwards. Nothing is attached yet; a size or format the driver rejects shows up as an incomplete
    // status at the first Bind.
    void Create(int width, int height, GLenum internalFormat, GLenum format, GLenum wrapS, GLenum wrapT,
                bool withDepth = true);
    void Bind();        // throws the status text when incomplete; stays bound then
    void Unbind();      // back to the window's framebuffer
    void BindTexture(); // the colour texture on the active unit, for reading the result
    void CheckStatus(); // the currently bound framebuffer

    // The longest edge the current context can render into and read back: the colour texture, the depth
    // buffer and the viewport all have to take it.
    static int MaxEdge();
    // The current context can render into 16-bit float colour textures: it offers float textures, and a
    // small framebuffer of that format is complete.
    static bool FloatFormatOffered();
    // The text raised for a framebuffer status, or nullptr for complete and for values not in the table.
    static const char* StatusText(GLenum status);
    // Raises ELumatex with StatusText(status) when there is one.
    static void RaiseForStatus(GLenum status);

    GLuint FramebufferHandle = 0;
    GLuint DepthBufferHandle = 0;
    int Width = 0;
    int Height = 0;
    GLenum InternalFormat = 0;
    GLenum Format = 0;
    GLenum WrapS = 0;
    GLenum WrapT = 0;
    GLuint TextureHandle = 0;

private:
    void Release();
};
