// TFBO on a real (llvmpipe) context.
#include "render/uFBO.h"

#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TFBOGLTest : public HeadlessGLTest {};

GLint Integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

GLint ColourAttachment() {
    GLint name = -1;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                             GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
    return name;
}

void Quad(float z, float r, float g, float b, float x0 = -1, float x1 = 1) {
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(x0, -1, z);
    glVertex3f(x1, -1, z);
    glVertex3f(x1, 1, z);
    glVertex3f(x0, 1, z);
    glEnd();
}

} // namespace

TEST_F(TFBOGLTest, FreshTargetsAreCompleteAtEveryEngineSize) {
    for (int edge : {256, 512, 1024}) {
        TFBO fbo;
        fbo.Create(edge, edge, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), 0) << "set-up leaves nothing bound";
        EXPECT_EQ(fbo.Width, edge);
        EXPECT_EQ(fbo.InternalFormat, GLenum(GL_RGB));
        ASSERT_NO_THROW(fbo.Bind()) << edge;
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(fbo.FramebufferHandle));
        EXPECT_EQ(Integer(GL_DRAW_BUFFER), GL_COLOR_ATTACHMENT0_EXT);
        fbo.Unbind();
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
        glBindTexture(GL_TEXTURE_2D, fbo.TextureHandle);
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
        EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(TFBOGLTest, DrawUnbindThenBindTextureGivesThePicture) {
    TFBO fbo;
    fbo.Create(256, 256, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    fbo.Bind();
    glViewport(0, 0, 256, 256);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The depth attachment works: the near red quad hides the far green one drawn after it.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    Quad(-0.5f, 1, 0, 0, -1, 0);
    Quad(0.5f, 0, 1, 0);
    glDisable(GL_DEPTH_TEST);
    fbo.Unbind();

    glActiveTexture(GL_TEXTURE0);
    fbo.BindTexture();
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(fbo.TextureHandle));
    std::vector<uint8_t> pixels(256 * 256 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    const uint8_t* left = &pixels[(128 * 256 + 10) * 3];
    const uint8_t* right = &pixels[(128 * 256 + 250) * 3];
    EXPECT_EQ(left[0], 255);
    EXPECT_EQ(left[1], 0);
    EXPECT_EQ(right[0], 0);
    EXPECT_EQ(right[1], 255);
}

TEST_F(TFBOGLTest, BindAttachesTheTextureAgainAfterOutsideChanges) {
    TFBO fbo;
    fbo.Create(64, 64, GL_RGBA, GL_RGBA, GL_REPEAT, GL_REPEAT);
    fbo.Bind();
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, other, 0);
    EXPECT_EQ(ColourAttachment(), GLint(other));
    fbo.Unbind();
    fbo.Bind();
    EXPECT_EQ(ColourAttachment(), GLint(fbo.TextureHandle));
    fbo.Unbind();
    glDeleteTextures(1, &other);
}

TEST_F(TFBOGLTest, IncompleteTargetRaisesItsStatusTextAndStaysBound) {
    TFBO fbo;
    fbo.Create(0, 0, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    glDrawBuffer(GL_BACK);
    try {
        fbo.Bind();
        ADD_FAILURE() << "a 0 x 0 target bound without complaint";
    } catch (const ELumatex& e) {
        const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
        ASSERT_NE(TFBO::StatusText(status), nullptr);
        EXPECT_STREQ(e.what(), TFBO::StatusText(status));
    }
    EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(fbo.FramebufferHandle));
    fbo.Unbind();
}

TEST_F(TFBOGLTest, DestructionAndRecreationDeleteAllThreeObjects) {
    auto fbo = std::make_unique<TFBO>();
    fbo->Create(256, 256, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    fbo->Bind();
    fbo->Unbind();
    const GLuint framebuffer = fbo->FramebufferHandle, depth = fbo->DepthBufferHandle, texture = fbo->TextureHandle;
    fbo->Create(512, 512, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    auto gone = [](GLuint f, GLuint d, GLuint t) {
        return !glIsFramebufferEXT(f) && !glIsRenderbufferEXT(d) && !glIsTexture(t);
    };
    // Names may be handed out again; what matters is that the old objects do not linger.
    EXPECT_TRUE(framebuffer == fbo->FramebufferHandle || !glIsFramebufferEXT(framebuffer));
    EXPECT_TRUE(depth == fbo->DepthBufferHandle || !glIsRenderbufferEXT(depth));
    EXPECT_TRUE(texture == fbo->TextureHandle || !glIsTexture(texture));
    ASSERT_NO_THROW(fbo->Bind());
    fbo->Unbind();
    const GLuint f2 = fbo->FramebufferHandle, d2 = fbo->DepthBufferHandle, t2 = fbo->TextureHandle;
    fbo.reset();
    EXPECT_TRUE(gone(f2, d2, t2));
}
