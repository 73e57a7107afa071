#include "gl/GL.h"
#include "support/TestSupport.h"

using HeadlessContextTest = HeadlessGLTest;

// Fixed-function drawing exists only in a compatibility context; the lit top-right corner proves the size.
TEST_F(HeadlessContextTest, DrawsIntoAPbufferOfTheRequestedSizeInACompatibilityContext) {
    ASSERT_TRUE(Context.Resize(64, 32));
    EXPECT_EQ(Context.NativeHandles().System, TWindowSystem::EGL);
    glViewport(0, 0, 64, 32);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 32, -1, 1);
    glColor3f(1, 0, 0);
    glRectf(62, 30, 64, 32);
    unsigned char corner[4] = {}, inside[4] = {};
    glReadPixels(63, 31, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, inside);
    EXPECT_EQ(corner[0], 255);
    EXPECT_EQ(inside[0], 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
