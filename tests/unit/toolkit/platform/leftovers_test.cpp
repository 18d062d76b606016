// What a run leaves behind: temporaries of writers killed before their
// rename; and the trace that is written in place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_folder.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
using testing_support::GonePid;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

std::vector<std::string> AllNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(StaleTemporaries, OnlyThoseOfGoneWritersGo) {
    TempFolder folder;
    const std::string gone = std::to_string(GonePid());
    const std::string live = std::to_string(getpid());
    const std::vector<std::string> stale = {".liste.ip.tmp-" + gone + "-0",
                                            ".etats.tmp-" + gone + "-17", ".a.tmp-" + gone + "-3"};
    const std::vector<std::string> kept = {
        ".liste.ip.tmp-" + live + "-0",  // its writer runs: it renames it itself
        ".liste.ip.tmp-1-0",             // init never goes
        "liste.ip.tmp-" + gone + "-0",   // not hidden: not ours
        ".tmp-" + gone + "-0",           // no name before the tag
        ".liste.ip.tmp-" + gone + "-",
        ".liste.ip.tmp-" + gone,
        ".liste.ip.tmp-x" + gone + "-0",
        ".liste.ip.tmp-" + gone + "-0.bak",
        "liste.ip",
        ".hidden"};
    for (const auto& name : stale) WriteBytes(folder / name, "x");
    for (const auto& name : kept) WriteBytes(folder / name, "x");
    fs::create_directory(folder / (".dir.tmp-" + gone + "-1"));  // never a folder
    fs::create_symlink(folder / "liste.ip", folder / (".link.tmp-" + gone + "-1"));

    EXPECT_EQ(toolkit::platform::RemoveStaleTemporaries(folder.Path()), 3);
    std::vector<std::string> expected = kept;
    expected.push_back(".dir.tmp-" + gone + "-1");
    expected.push_back(".link.tmp-" + gone + "-1");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(AllNames(folder.Path()), expected);
    EXPECT_EQ(toolkit::platform::RemoveStaleTemporaries(folder / "missing"), 0);
}

// The trace is rewritten whole, shorter too, and never through a link or
// into a FIFO. (The poll test checks that it keeps its inode.)
TEST(TraceInPlace, RewritesTheWholeFileAndOnlyARegularOne) {
    TempFolder folder;
    const std::string log = folder / "log";
    toolkit::SaveLinesInPlace(log, {"timer called for 12"});
    toolkit::SaveLinesInPlace(log, {"timer called for 3"});
    EXPECT_EQ(ReadBytes(log), "timer called for 3\r\n");

    WriteBytes(folder / "target", "keep");
    fs::create_symlink(folder / "target", folder / "link");
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    for (const char* name : {"link", "fifo"}) {
        try {
            toolkit::SaveLinesInPlace(folder / name, {"x"});
            ADD_FAILURE() << name << ": no FileError";
        } catch (const toolkit::FileError& error) {
            EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(ReadBytes(folder / "target"), "keep");
    EXPECT_THROW(toolkit::SaveLinesInPlace(folder / "missing/log", {"x"}), toolkit::FileError);
}

}  // namespace
