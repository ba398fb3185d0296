// The test helpers themselves: a peer tool that is not installed fails the
// test that needs it instead of letting it pass unchecked.
#include "tests/support/TestSupport.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

TEST(TestSupport, MissingPeerToolFailsTheTest) {
    EXPECT_TRUE(mvtest::RequireTool("sh"));
    EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(mvtest::RequireTool("mv-no-such-peer-tool")),
                            "peer tool mv-no-such-peer-tool is not installed");
}

namespace {
// A test body that needs a peer which is not there.
void NeedsMissingPeer(bool& reachedTheEnd) {
    MV_REQUIRE_TOOL("mv-no-such-peer-tool");
    reachedTheEnd = true;
}
} // namespace

TEST(TestSupport, RequireToolMacroFailsAndStops) {
    bool reached = false;
    EXPECT_NONFATAL_FAILURE(NeedsMissingPeer(reached), "is not installed");
    EXPECT_FALSE(reached);
}
