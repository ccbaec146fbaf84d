#pragma once

// Running tessary-scene from a test: its exit code and both streams, with
// temporary files in a directory of this process's own (other builds may run
// the same tests at once), removed when the tests end.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace scene_test {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }

inline void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

inline const std::string& Scratch() {
    static const std::string directory = [] {
        std::string d = ::testing::TempDir() + "scene_cli_XXXXXX";
        if (mkdtemp(d.data()) == nullptr) d = ::testing::TempDir() + "scene_cli";
        return d + "/";
    }();
    return directory;
}
class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override { std::filesystem::remove_all(Scratch()); }
};
inline const auto* const kScratchCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

// Named after the running test: ctest runs the cases as parallel processes.
inline std::string Temp(const std::string& name) {
    return Scratch() + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

// `shell` runs before the program in the same shell (a ulimit).
inline Outcome RunScene(const std::string& args, const std::string& shell = "") {
    const std::string out = Temp("stdout"), err = Temp("stderr");
    const int status =
        std::system((shell + std::string(TESSARY_SCENE_PROGRAM) + " " + args + " >" + out + " 2>" + err).c_str());
    Outcome o;
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = Slurp(out);
    o.err = Slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return o;
}

// Bad input: exit code 2, nothing on stdout, one line on stderr naming the program.
inline void ExpectRefusal(const Outcome& o) {
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(o.out, "");
    ASSERT_FALSE(o.err.empty());
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.err.rfind("tessary-scene: ", 0), 0u) << o.err;
}

}  // namespace scene_test
