// netcmd's command line. Only commands that send nothing run here: the usage
// errors, address refusals (checked before any socket exists) and the cache.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <sstream>

#include "cli.h"
#include "nbtstat.h"
#include "test_folder.h"

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunCommand(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = netcmd::RunNetcmd(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(NetcmdCli, AnythingButTheFourCommandsIsAUsageError) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"ipconfig"},
                                                                  {"ipconfig", "/ALL"},
                                                                  {"ipconfig", "/all", "x"},
                                                                  {"nbtstat"},
                                                                  {"nbtstat", "-A", "198.18.0.11"},
                                                                  {"nbtstat", "-a"},
                                                                  {"nbtstat", "-c", "x"},
                                                                  {"arp"},
                                                                  {"arp", "-g"},
                                                                  {"route", "print"}}) {
        const Result result = RunCommand(args);
        EXPECT_EQ(result.status, netcmd::kExitUsage);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("Utilisation"), std::string::npos);
    }
}

TEST(NetcmdCli, NodeStatusRefusesAnythingButADottedAddress) {
    for (const char* address : {"", "pc-salon", "198.18.0", "198.18.0.011", " 198.18.0.11",
                                "198.18.0.11; reboot", "198.18.0.256", "::1"}) {
        const Result result = RunCommand({"nbtstat", "-a", address});
        EXPECT_EQ(result.status, netcmd::kExitFailure) << address;
        EXPECT_EQ(result.out, "") << address;
        EXPECT_NE(result.err.find("adresse IPv4"), std::string::npos);
        // One bad address in a list: nothing is asked at all.
        const Result list = RunCommand({"nbtstat", "-a", "198.18.0.11", address, "198.18.0.12"});
        EXPECT_EQ(list.status, netcmd::kExitFailure) << address;
        EXPECT_EQ(list.out, "") << address;
    }
}

TEST(NetcmdCli, CacheListsLiveNamesFromTheScratchFolder) {
    testing_support::TempFolder scratch;
    testing_support::ScopedEnv env("KORVANE_SCRATCH", scratch.Path());
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    testing_support::WriteBytes(
        scratch / netcmd::kCacheFileName,
        netcmd::FormatCacheLine({now - 10, "198.18.0.11", 0, false, "PC-SALON"}) + "\r\n" +
            "\xFF\xFE corrupt line\r\n" +
            netcmd::FormatCacheLine({now - 1000, "198.18.0.12", 0, false, "GONE"}) + "\r\n");
    const Result result = RunCommand({"nbtstat", "-c"});
    EXPECT_EQ(result.status, netcmd::kExitOk);
    EXPECT_NE(result.out.find("    PC-SALON        <00>  UNIQUE          198.18.0.11"),
              std::string::npos);
    EXPECT_EQ(result.out.find("GONE"), std::string::npos);
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
}

// A cache that is not a regular file is refused at once, never waited on.
TEST(NetcmdCli, CacheThatIsAFifoIsRefusedAtOnce) {
    testing_support::TempFolder scratch;
    testing_support::ScopedEnv env("KORVANE_SCRATCH", scratch.Path());
    const std::string cache = scratch / netcmd::kCacheFileName;
    ASSERT_EQ(mkfifo(cache.c_str(), 0600), 0);
    const testing_support::FifoFeeder feeder(cache);
    const Result result = RunCommand({"nbtstat", "-c"});
    EXPECT_EQ(result.status, netcmd::kExitFailure);
    EXPECT_NE(result.err.find("« " + cache + " » : c'est un tube nommé"), std::string::npos)
        << result.err;
}

}  // namespace
