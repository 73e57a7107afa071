#include "gl/GL.h"
#include "support/TestSupport.h"

#include <cstring>

using HeadlessContextTest = HeadlessGLTest;

TEST_F(HeadlessContextTest, DrawsIntoAPbufferOfTheRequestedSizeInACompatibilityContext) {
    ASSERT_TRUE(Context.Resize(64, 32));
    EXPECT_EQ(Context.Width(), 64);
    GLint viewport[4] = {};
    glViewport(0, 0, 64, 32);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    // Fixed-function drawing exists only in a compatibility context.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 32, 0, -1, 1);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(64, 0);
    glVertex2f(64, 32);
    glVertex2f(0, 32);
    glEnd();
    glFinish();
    unsigned char px[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(Context.NativeHandles().System, TWindowSystem::EGL);
}
