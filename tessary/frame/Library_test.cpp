#include "tessary/frame/Library.h"

#include <gtest/gtest.h>

using namespace Tessary;

TEST(Library, RegisteredAtLoadAndLinkedPerAttach) {
    EXPECT_TRUE(CoreModuleRegistry::IsRegistered());
    const int before = CoreModuleRegistry::GetLinkCount();
    EXPECT_GE(before, 1);
    EXPECT_NE(CoreModuleRegistry::GetLinkedModule(0).Find("libtessary"), -1);
    AttachCoreDLL();
    AttachCoreDLL();
    EXPECT_EQ(CoreModuleRegistry::GetLinkCount(), before + 2);
    EXPECT_EQ(TessaryCoreLinkCount(), before + 2);
    // The new links are recorded under this test program's file.
    EXPECT_NE(CoreModuleRegistry::GetLinkedModule(before).Find("frame_test"), -1);
    EXPECT_EQ(CoreModuleRegistry::GetLinkedModule(before + 2), "");
    EXPECT_EQ(CoreModuleRegistry::GetLinkedModule(-1), "");
}
