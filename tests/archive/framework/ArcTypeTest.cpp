#include "archive/framework/ArcType.h"

#include <gtest/gtest.h>

using namespace mv;

TEST(ArcType, NamesAreTenCharactersAndSetsFollowTheTable) {
    for (int i = 0; i < ArcTypeCount; ++i) EXPECT_EQ(ArcTypeName(static_cast<TArcType>(i)).size(), 10u) << i;
    EXPECT_EQ(ArcTypeName(TArcType::atJar), "Java JAR  ");
    EXPECT_EQ(ArcTypeName(TArcType::atMsGZ), "MsGZ     \t");

    EXPECT_FALSE(IsValidArcType(TArcType::atUnknown));
    EXPECT_TRUE(IsValidArcType(TArcType::atZoo));
    EXPECT_FALSE(IsDecompressibleArcType(TArcType::atHa));
    EXPECT_TRUE(IsDecompressibleArcType(TArcType::atZipMV));
    EXPECT_FALSE(IsSearchableArcType(TArcType::atZipMV));
    EXPECT_TRUE(IsCompressibleArcType(TArcType::atUue));
    EXPECT_FALSE(IsCompressibleArcType(TArcType::atArj));
    for (int v : {32, 40, -1}) {
        EXPECT_FALSE(IsValidArcType(v));
        EXPECT_FALSE(IsDecompressibleArcType(v));
        EXPECT_FALSE(IsCompressibleArcType(v));
        EXPECT_FALSE(IsSearchableArcType(v));
    }
}
