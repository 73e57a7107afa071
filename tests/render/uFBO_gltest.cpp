#include "render/uFBO.h"

#include "platform/ELumatex.h"
#include "render/EngineTestSupport.h"

#include <memory>

namespace {

using TFBOGLTest = HeadlessGLTest;

GLint Integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

void Quad(float z, float r, float g, float b, float x1) {
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, z);
    glVertex3f(x1, -1, z);
    glVertex3f(x1, 1, z);
    glVertex3f(-1, 1, z);
    glEnd();
}

} // namespace

TEST(TFBO, StatusTextsAndWhatRaisesThem) {
    const std::pair<GLenum, std::string> table[] = {
        {0x8CD6, "Incomplete attachment"},
        {0x8CD7, "Missing attachment"},
        {0x8CD8, "Duplicate attachment"},
        {0x8CD9, "Incomplete dimensions"},
        {0x8CDA, "Incomplete formats"},
        {0x8CDB, "Incomplete draw buffer"},
        {0x8CDC, "Incomplete read buffer"},
        {0x8CDD, "Framebuffer unsupported"},
        {0x8CD5, ""},
        {0x8CDE, ""}, // complete or unknown
    };
    for (const auto& [status, text] : table) {
        std::string raised;
        try {
            TFBO::RaiseForStatus(status);
        } catch (const ELumatex& e) {
            raised = e.what();
        }
        EXPECT_EQ(raised, text) << std::hex << status;
    }
}

TEST_F(TFBOGLTest, FreshTargetsAreCompleteAndKeepDepthAndColour) {
    for (int edge : {256, 1024}) {
        SCOPED_TRACE(edge);
        TFBO fbo;
        fbo.Create(edge, edge, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), 0) << "set-up leaves nothing bound";
        ASSERT_NO_THROW(fbo.Bind());
        EXPECT_EQ(Integer(GL_DRAW_BUFFER), GL_COLOR_ATTACHMENT0_EXT);
        glViewport(0, 0, edge, edge);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // The near red left half hides the far green quad drawn after it.
        glEnable(GL_DEPTH_TEST);
        Quad(-0.5f, 1, 0, 0, 0);
        Quad(0.5f, 0, 1, 0, 1);
        glDisable(GL_DEPTH_TEST);
        fbo.Unbind();
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
        fbo.BindTexture();
        GLint filter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_EQ(filter, GL_LINEAR);
        const TPicture picture(edge, edge, true);
        EXPECT_EQ(picture.At(10, edge / 2), kRed);
        EXPECT_EQ(picture.At(edge - 10, edge / 2), kGreen);
    }
}

TEST_F(TFBOGLTest, RecreationAndDestructionDeleteAllThreeObjects) {
    auto fbo = std::make_unique<TFBO>();
    fbo->Create(256, 256, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    const GLuint f = fbo->FramebufferHandle, d = fbo->DepthBufferHandle, t = fbo->TextureHandle;
    fbo->Create(512, 512, GL_RGB, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    // Names may be handed out again; what matters is that the old objects do not linger.
    EXPECT_TRUE(f == fbo->FramebufferHandle || !glIsFramebufferEXT(f));
    EXPECT_TRUE(d == fbo->DepthBufferHandle || !glIsRenderbufferEXT(d));
    EXPECT_TRUE(t == fbo->TextureHandle || !glIsTexture(t));
    const GLuint f2 = fbo->FramebufferHandle, d2 = fbo->DepthBufferHandle, t2 = fbo->TextureHandle;
    fbo.reset();
    EXPECT_TRUE(!glIsFramebufferEXT(f2) && !glIsRenderbufferEXT(d2) && !glIsTexture(t2));
}
