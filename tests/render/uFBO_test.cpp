#include "render/uFBO.h"

#include "platform/ELumatex.h"

#include <gtest/gtest.h>

TEST(TFBO, StatusTableTexts) {
    const std::pair<GLenum, const char*> table[] = {
        {0x8CD6, "Incomplete attachment"},  {0x8CD7, "Missing attachment"},
        {0x8CD8, "Duplicate attachment"},   {0x8CD9, "Incomplete dimensions"},
        {0x8CDA, "Incomplete formats"},     {0x8CDB, "Incomplete draw buffer"},
        {0x8CDC, "Incomplete read buffer"}, {0x8CDD, "Framebuffer unsupported"},
    };
    for (auto [status, text] : table) {
        ASSERT_NE(TFBO::StatusText(status), nullptr) << std::hex << status;
        EXPECT_STREQ(TFBO::StatusText(status), text);
        try {
            TFBO::RaiseForStatus(status);
            ADD_FAILURE() << "nothing raised for " << std::hex << status;
        } catch (const ELumatex& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
}

TEST(TFBO, CompleteAndUnknownStatusesRaiseNothing) {
    for (GLenum status : {0x8CD5u, 0u, 0x8CDEu, 0x0500u, 0xFFFFFFFFu}) {
        EXPECT_EQ(TFBO::StatusText(status), nullptr);
        EXPECT_NO_THROW(TFBO::RaiseForStatus(status));
    }
}

TEST(TFBO, NewObjectOwnsNothingAndNeedsNoContextToDie) {
    TFBO fbo;
    EXPECT_EQ(fbo.FramebufferHandle, 0u);
    EXPECT_EQ(fbo.DepthBufferHandle, 0u);
    EXPECT_EQ(fbo.TextureHandle, 0u);
}
