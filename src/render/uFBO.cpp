#include "render/uFBO.h"

#include "platform/ELumatex.h"

#include <algorithm>

TFBO::~TFBO() {
    Release();
}

void TFBO::Release() {
    if (FramebufferHandle != 0) glDeleteFramebuffersEXT(1, &FramebufferHandle);
    if (DepthBufferHandle != 0) glDeleteRenderbuffersEXT(1, &DepthBufferHandle);
    if (TextureHandle != 0) glDeleteTextures(1, &TextureHandle);
    FramebufferHandle = DepthBufferHandle = TextureHandle = 0;
}

int TFBO::MaxEdge() {
    GLint texture = 0, renderbuffer = 0;
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    return std::min({texture, renderbuffer, viewport[0], viewport[1]});
}

bool TFBO::FloatFormatOffered() {
    if (epoxy_gl_version() < 30 && !epoxy_has_gl_extension("GL_ARB_texture_float")) return false;
    GLint found = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &found);
    TFBO probe;
    probe.Create(4, 4, GL_RGB16F_ARB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, false);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, probe.FramebufferHandle);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              probe.TextureHandle, 0);
    const bool complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(found));
    return complete;
}

void TFBO::Create(int width, int height, GLenum internalFormat, GLenum format, GLenum wrapS, GLenum wrapT,
                  bool withDepth) {
    // A second Create would otherwise orphan the objects of the first one.
    Release();
    Width = width;
    Height = height;
    InternalFormat = internalFormat;
    Format = format;
    WrapS = wrapS;
    WrapT = wrapT;

    glGenFramebuffersEXT(1, &FramebufferHandle);
    if (withDepth) {
        glGenRenderbuffersEXT(1, &DepthBufferHandle);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, DepthBufferHandle);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, Width, Height);
    }

    glGenTextures(1, &TextureHandle);
    glBindTexture(GL_TEXTURE_2D, TextureHandle);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(InternalFormat), Width, Height, 0, Format,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapS));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapT));

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void TFBO::Bind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, FramebufferHandle);
    // Attach again on every Bind: keeps the target valid after any outside change of its attachments.
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 DepthBufferHandle);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, TextureHandle, 0);
    CheckStatus();
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
}

void TFBO::Unbind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void TFBO::BindTexture() {
    glBindTexture(GL_TEXTURE_2D, TextureHandle);
}

void TFBO::CheckStatus() {
    RaiseForStatus(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT));
}

const char* TFBO::StatusText(GLenum status) {
    switch (status) {
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
        return "Incomplete attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
        return "Missing attachment";
    case 0x8CD8:
        return "Duplicate attachment"; // dropped from later headers, still a possible answer
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
        return "Incomplete dimensions";
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
        return "Incomplete formats";
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT:
        return "Incomplete draw buffer";
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT:
        return "Incomplete read buffer";
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT:
        return "Framebuffer unsupported";
    default:
        return nullptr; // complete, and anything a driver may answer outside the table
    }
}

void TFBO::RaiseForStatus(GLenum status) {
    if (const char* text = StatusText(status)) throw ELumatex(text);
}
