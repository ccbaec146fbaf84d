#include "tessary/frame/Lifecycle.h"

#include <gtest/gtest.h>

#include <string>

#include "tessary/frame/Library.h"

using namespace Tessary;

namespace {

std::string g_trace;
void F() { g_trace += 'f'; }
void G() { g_trace += 'g'; }

}  // namespace

TEST(Lifecycle, EntryFunctionRunsInsideItsConstructor) {
    g_trace.clear();
    {
        EntryFunction entry(F);
        EXPECT_EQ(g_trace, "f");
    }
    EXPECT_EQ(g_trace, "f");  // the destructor does nothing
    EntryFunction none(nullptr);
    EXPECT_EQ(g_trace, "f");
}

TEST(Lifecycle, ExitFunctionRunsAtDestruction) {
    g_trace.clear();
    {
        ExitFunction exit(G);
        ExitFunction none(nullptr);
        EXPECT_EQ(g_trace, "");
    }
    EXPECT_EQ(g_trace, "g");
}

TEST(Lifecycle, ExitFunctionListRunsNewestFirstAndDuplicatesTwice) {
    g_trace.clear();
    {
        ExitFunctionList list;
        list.AddFunction(F);
        list.AddFunction(G);
        list.AddFunction(nullptr);  // ignored
        list.AddFunction(F);
        EXPECT_EQ(g_trace, "");
    }
    EXPECT_EQ(g_trace, "fgf");
    g_trace.clear();
    { ExitFunctionList empty; }
    EXPECT_EQ(g_trace, "");
}

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
