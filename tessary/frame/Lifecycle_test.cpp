#include "tessary/frame/Lifecycle.h"

#include <gtest/gtest.h>

#include <string>

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
