// The Windows back end for real, under Wine in a namespace holding only
// loopback: files and the read-only marker, the captured and detached starts
// through cmd.exe, the shell's result codes, the address table, look-ups and
// echo probes, and the poll and check batch files that Korvane's core writes,
// run by cmd.exe exactly as written, with hostping.exe and attrib, in a work
// folder named with a blank and accents.
// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>
// The Win32 security calls after windows.h.
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "korvane/core/followup.h"
#include "korvane/core/polling.h"
#include "korvane/core/power.h"
#include "korvane/core/sshpower.h"
#include "platform/platform.h"
#include "platform/win32_security.h"
#include "platform/win32_text.h"
#include "raw_ping.h"
#include "reseau.h"
#include "tools.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
namespace platform = toolkit::platform;
using std::chrono::milliseconds;
using toolkit::Os;

// A folder of its own under c:\, removed with its content at the end.
class Folder {
  public:
    explicit Folder(const std::string& name) : path_("c:\\korvane-test-" + name) {
        fs::remove_all(path_);
        fs::create_directory(path_);
    }
    ~Folder() {
        for (const auto& name : platform::ListFolder(path_)) platform::RemoveFile(*this / name);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Empty when the file is missing.
std::string Bytes(const std::string& path) {
    try {
        return platform::ReadRegularFile(path, 1 << 20);
    } catch (const toolkit::FileError&) {
        return {};
    }
}

// The work files in a folder with a blank and accents, as a user's own
// folder may be named, for the length of a test.
class AccentedScratch {
  public:
    AccentedScratch() { SetEnvironmentVariableW(L"KORVANE_SCRATCH", kFolder); }
    ~AccentedScratch() {
        SetEnvironmentVariableW(L"KORVANE_SCRATCH", nullptr);
        std::error_code ignored;
        fs::remove_all(fs::path(L"C:\\korvane-test Hélène"), ignored);
    }
    AccentedScratch(const AccentedScratch&) = delete;
    AccentedScratch& operator=(const AccentedScratch&) = delete;
    static constexpr const wchar_t* kFolder = L"C:\\korvane-test Hélène\\travail";
    static constexpr const char* kPath = "C:\\korvane-test Hélène\\travail\\";
};

// Detached work ends on its own: the test waits for its trace, within a bound.
template <typename Condition>
bool WaitFor(Condition done, milliseconds bound = milliseconds(30000)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

TEST(Win32Files, ListsAreReplacedWholeAndOddDestinationsRefused) {
    Folder folder("replace");
    const std::string list = folder / "liste.ip";
    toolkit::SaveLines(list, {"pc1 10.0.0.1"});                    // new: takes its name
    toolkit::SaveLines(list, {"pc1 10.0.0.1", "pc10 10.0.0.10"});  // existing: replaced
    EXPECT_EQ(Bytes(list), "pc1 10.0.0.1\r\npc10 10.0.0.10\r\n");
    EXPECT_EQ(toolkit::LoadLines(list), (toolkit::TextList{"pc1 10.0.0.1", "pc10 10.0.0.10"}));
    toolkit::SaveLines(list, {});
    EXPECT_EQ(Bytes(list), "");
    EXPECT_EQ(platform::ListFolder(folder.Path()), std::vector<std::string>{"liste.ip"})
        << "no temporary left";

    fs::create_directory(folder / "dossier");
    for (const std::string& odd : {folder / "dossier", std::string("NUL")}) {
        EXPECT_THROW(toolkit::LoadLines(odd), toolkit::FileError) << odd;
    }
    try {
        toolkit::SaveLines(folder / "dossier", {"x"});
        ADD_FAILURE() << "a folder was replaced";
    } catch (const toolkit::FileError& error) {
        EXPECT_NE(std::string(error.what()).find("c'est un dossier"), std::string::npos);
    }
    EXPECT_TRUE(fs::is_directory(folder / "dossier"));
    try {
        toolkit::LoadLines(folder / "absent");
        ADD_FAILURE() << "a missing file was read";
    } catch (const toolkit::FileError& error) {
        EXPECT_NE(std::string(error.what()).find("introuvable"), std::string::npos);
    }
}

// The run marker is renewed by rewriting it empty: its time must move.
TEST(Win32Files, RewritingInPlaceRenewsTheLastWriteTime) {
    Folder folder("inplace");
    const std::string marker = folder / "netsweep.lck";
    toolkit::SaveLinesInPlace(marker, {});
    const auto old = fs::last_write_time(marker) - std::chrono::minutes(10);
    fs::last_write_time(marker, old);
    toolkit::SaveLinesInPlace(marker, {});
    EXPECT_GT(fs::last_write_time(marker), old + std::chrono::minutes(9));
    toolkit::SaveLinesInPlace(marker, {"a", "b"});
    toolkit::SaveLinesInPlace(marker, {"c"});
    EXPECT_EQ(Bytes(marker), "c\r\n");
}

TEST(Win32Files, ReadOnlyAttributeListingRemovalAndMoves) {
    Folder folder("files");
    const std::string marker = folder / "7.mark";
    EXPECT_EQ(platform::IsReadOnly(marker), std::nullopt);
    korvane::ArmMarker(marker);
    EXPECT_TRUE(korvane::MarkerIsArmed(marker));
    EXPECT_EQ(fs::status(marker).permissions() & fs::perms::owner_write, fs::perms::none);

    toolkit::SaveLines(folder / "a", {});
    toolkit::SaveLines(folder / ".cache", {});
    std::vector<std::string> names = platform::ListFolder(folder.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"7.mark", "a"}));
    EXPECT_EQ(platform::ListFolder(folder / "absent"), std::vector<std::string>{});

    EXPECT_NE(platform::MoveFileNoReplace(folder / "a", marker), 0);
    EXPECT_EQ(platform::MoveFileNoReplace(folder / "a", folder / "b"), 0);
    EXPECT_FALSE(platform::FileExists(folder / "a"));
    EXPECT_TRUE(platform::FileExists(folder / "b"));
    EXPECT_EQ(platform::MoveFileNoReplace(folder / "a", folder / "c"), ENOENT);

    fs::create_directory(folder / "d");
    EXPECT_FALSE(platform::FileExists(folder / "d"));
    EXPECT_FALSE(platform::RemoveFile(folder / "d"));
    EXPECT_TRUE(platform::RemoveFile(marker)) << "a read-only marker goes too";
    EXPECT_FALSE(platform::RemoveFile(marker));
}

// A temporary whose writer is gone is a leftover; this process's own stays.
TEST(Win32Files, StaleTemporariesOfGoneWritersAreRemoved) {
    Folder folder("stale");
    const std::string mine = ".liste.ip.tmp-" + std::to_string(GetCurrentProcessId()) + "-0";
    // Process ids are multiples of 4 on Windows: 3 is never one.
    const std::string gone = ".liste.mac.tmp-3-0";
    for (const auto& name : {mine, gone, std::string(".other"), std::string("liste.ip")})
        toolkit::SaveLines(folder / name, {});
    EXPECT_EQ(platform::RemoveStaleTemporaries(folder.Path()), 1);
    EXPECT_FALSE(fs::exists(folder / gone));
    EXPECT_TRUE(fs::exists(folder / mine));
    EXPECT_TRUE(fs::exists(folder / ".other"));
}

// The user running the tests, as an access list names them.
std::wstring UserSid() {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), size, &size));
    CloseHandle(token);
    LPWSTR text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text);
    std::wstring sid = text != nullptr ? text : L"";
    LocalFree(text);
    return sid;
}

// A file made with the access list `rules` (SDDL), replacing any before.
void MakeFileWithRules(const std::string& path, const std::wstring& rules) {
    platform::RemoveFile(path);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        rules.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr))
        << platform::Utf8(rules);
    const HANDLE file = CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, 0, &attributes,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(attributes.lpSecurityDescriptor);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

// The SSH key is refused as OpenSSH for Windows refuses it: when anyone but
// the user, the system and the administrators may open it. The rule is
// tried on access lists made in memory; on the disk, Wine keeps of a file's
// list only what the Unix mode shows (the others, Everyone, not the groups),
// so the key is tried private and open to Everyone. The refusal says how to
// leave the key to the user alone.
TEST(Win32Files, AKeyIsPrivateWhenOnlyTheUserTheSystemAndTheAdministratorsMayOpenIt) {
    const std::wstring user = UserSid();
    ASSERT_FALSE(user.empty());
    const std::wstring ours = L"D:P(A;;FA;;;" + user + L")(A;;FA;;;SY)(A;;FA;;;BA)";
    struct Case {
        std::wstring rules;
        bool open;
    };
    const platform::Identity identity;
    for (const Case& c : std::vector<Case>{
             {ours, false},
             {L"D:P(A;;FA;;;" + user + L")", false},
             {ours + L"(D;;FA;;;WD)", false},
             {ours + L"(A;;FR;;;BU)", true},
             {ours + L"(A;;FRFX;;;AU)", true},
             {ours + L"(A;;FR;;;WD)", true},
             {L"D:P", false},  // an empty list lets no one in
         }) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            c.rules.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
        EXPECT_EQ(platform::OpenToOthers(present ? dacl : nullptr, identity), c.open)
            << platform::Utf8(c.rules);
        LocalFree(descriptor);
    }
    EXPECT_TRUE(platform::OpenToOthers(nullptr, identity)) << "no list at all lets everyone in";

    Folder folder("cle");
    const toolkit::ToolPaths paths{folder.Path() + "\\", ""};
    const std::string key = paths.programDir + korvane::kSshKeyFile;
    for (const Case& c : std::vector<Case>{{L"O:" + user + ours, false},
                                           {L"O:" + user + ours + L"(A;;FR;;;WD)", true}}) {
        MakeFileWithRules(key, c.rules);
        const auto status = platform::StatusOf(key);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->privateToOwner, !c.open) << platform::Utf8(c.rules);
        EXPECT_TRUE(status->ownedByUs) << platform::Utf8(c.rules);
        const auto problem =
            korvane::SshKeyProblem(Os::Windows, paths, "pc1", korvane::PowerAction::Shutdown);
        EXPECT_EQ(problem.has_value(), c.open) << platform::Utf8(c.rules);
        if (problem) {
            EXPECT_NE(problem->find("accessible à d'autres comptes"), std::string::npos)
                << *problem;
            EXPECT_NE(problem->find("icacls \"" + key + "\" /inheritance:r"), std::string::npos)
                << *problem;
        }
    }
}

// The line is cmd.exe's: its redirections, "&" and exit codes.
TEST(Win32Processes, CapturedCommandRunsHiddenInTheScratchFolderAndIsWaitedFor) {
    const std::string scratch = toolkit::ScratchDir();
    const std::string where = scratch + "korvane-where.txt";
    platform::RemoveFile(where);
    EXPECT_EQ(toolkit::RunAndWait("cd > korvane-where.txt & exit 3"), 3);
    EXPECT_TRUE(toolkit::EqualsIgnoreCase(toolkit::Trim(Bytes(where)),
                                          scratch.substr(0, scratch.size() - 1)))
        << Bytes(where);
    platform::RemoveFile(where);
    EXPECT_NE(toolkit::RunAndWait("korvane-no-such-program.exe"), 0);
}

// Programs of one user capture at the same moment (a window starting beside
// the planner, netsweep beside them): each reads its own listing whole
// through cmd.exe's redirection, and none is left behind.
TEST(Win32Processes, EachCaptureReadsItsOwnListingAndLeavesNothing) {
    const char* standins = std::getenv("KORVANE_STANDINS");
    if (standins == nullptr) GTEST_SKIP() << "sans les remplaçants des commandes (run.sh)";
    const AccentedScratch scratch;
    const toolkit::ToolPaths paths = toolkit::HostToolPaths();
    const std::vector<std::string> addresses = {"198.18.0.11", "198.18.0.12", "198.18.0.13",
                                                "198.18.0.14"};
    std::vector<toolkit::TextList> read(addresses.size());
    {
        std::vector<std::jthread> captures;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            captures.emplace_back([&, i] {
                try {
                    read[i] = toolkit::RunCaptured(
                        toolkit::NbtstatCommand(Os::Windows, paths, addresses[i]));
                } catch (const toolkit::FileError& error) {
                    read[i] = {error.what()};
                }
            });
        }
    }
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::string listing = std::string(standins) + "\\nbtstat-a-" + addresses[i] + ".txt";
        EXPECT_EQ(read[i], toolkit::LoadOutputLines(listing)) << addresses[i];
    }
    EXPECT_TRUE(fs::is_empty(fs::path(AccentedScratch::kFolder)));
}

TEST(Win32Processes, DetachedStartDoesNotWait) {
    Folder folder("detached");
    const std::string script = folder / "late.bat";
    const std::string trace = folder / "late.txt";
    toolkit::SaveText(script, "ping -n 2 127.0.0.1 >nul\r\necho fini>" + trace + "\r\n");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(toolkit::StartDetached(script));
    EXPECT_FALSE(fs::exists(trace)) << "the caller waited";
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(900));
    EXPECT_TRUE(WaitFor([&] { return toolkit::Trim(Bytes(trace)) == "fini"; }));
}

TEST(Win32Processes, ShellOpenGivesTheShellsCode) {
    EXPECT_LT(toolkit::ShellOpenProgram("korvane-no-such-program.exe", "c:\\x.txt", "."), 32);
    EXPECT_LT(toolkit::ShellOpenDocument("c:\\korvane-no-such-document.xyz"), 32);
}

TEST(Win32Network, AddressTableLookUpsAndEchoes) {
    toolkit::TextList addresses{"stale"}, masks;
    toolkit::LoadLocalAddressTable(addresses, masks);
    ASSERT_EQ(addresses.size(), masks.size());
    const auto loopback = std::find(addresses.begin(), addresses.end(), "127.0.0.1");
    ASSERT_NE(loopback, addresses.end());
    EXPECT_EQ(masks[static_cast<std::size_t>(loopback - addresses.begin())], "255.0.0.0");

    EXPECT_EQ(toolkit::ToDotted(toolkit::HostToIPv4("localhost")), "127.0.0.1");
    EXPECT_EQ(toolkit::ToDotted(toolkit::HostToIPv4("korvane-no-such-host")), "0.0.0.0");
    EXPECT_EQ(toolkit::NameByAddress("127.0.0.1").empty(), false);
    EXPECT_EQ(toolkit::NameByAddress("127.0.0.x"), "");

    ASSERT_TRUE(toolkit::CanProbe());
    // Nothing routes beyond loopback here: 198.51.100.7 fails at once.
    EXPECT_EQ(toolkit::IcmpProbeMany({"127.0.0.1", "", "0.0.0.0", "198.51.100.7", "localhost",
                                      "korvane-no-such-host", "127.0.0.2"}),
              (std::vector<bool>{true, false, false, false, true, false, true}));
    // More probes than threads: every one gets its own verdict, in order.
    std::vector<std::string> many;
    for (int i = 1; i <= 200; ++i)
        many.push_back(i % 2 ? "127.0.0." + std::to_string(i) : "198.51.100.7");
    const std::vector<bool> verdicts = toolkit::IcmpProbeMany(many);
    for (std::size_t i = 0; i < many.size(); ++i) EXPECT_EQ(verdicts[i], i % 2 == 0) << many[i];
}

// The poll as Korvane runs it: marker armed, batch written, started detached;
// hostping.exe beside the programs writes the answers, attrib clears the marker.
TEST(Win32Batches, PollBatchRunsAsWrittenAndClearsItsMarker) {
    const AccentedScratch scratch;
    const toolkit::ToolPaths paths = korvane::SlotPaths();
    ASSERT_EQ(paths.scratchDir,
              AccentedScratch::kPath + korvane::ProcessFolderName(platform::ThisProcess()) + "\\");
    ASSERT_TRUE(platform::FileExists(paths.programDir + "hostping.exe")) << paths.programDir;
    Folder folder("poll");
    const std::string list = folder / "localIP";
    toolkit::SaveLines(list, {"127.0.0.1", "198.51.100.7", "localhost"});
    const std::uint8_t slot = 201;
    const korvane::SlotFiles files = korvane::SlotFilesFor(Os::Windows, paths, slot);
    EXPECT_EQ(files.script, paths.scratchDir + "ping201.bat");
    korvane::ArmMarker(files.marker);
    platform::RemoveFile(files.result);
    toolkit::SaveText(files.script, korvane::PollScript(Os::Windows, paths, list, slot));
    EXPECT_FALSE(korvane::FinishedSlot(slot).has_value());
    ASSERT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, files.script)));
    ASSERT_TRUE(WaitFor([&] { return korvane::FinishedSlot(slot).has_value(); }));
    EXPECT_EQ(Bytes(files.result), "127.0.0.1=1\r\nlocalhost=1\r\n");
    korvane::CleanSlotFiles(paths.scratchDir);
    EXPECT_FALSE(platform::FileExists(files.script));
    EXPECT_FALSE(platform::FileExists(files.marker));
}

// The follow-up check: the real hostping.exe on the member's one-line list,
// which the batch's echo writes, and its verdict line, which the follow-up
// reads back.
TEST(Win32Batches, CheckBatchWritesHostpingsVerdict) {
    const AccentedScratch scratch;
    const toolkit::ToolPaths paths = korvane::SlotPaths();
    struct Case {
        const char* host;
        const char* verdict;
        bool incidentAfterShutdown;
    };
    const Case cases[] = {{"127.0.0.1", "127.0.0.1=up", true},
                          {"198.51.100.7", "198.51.100.7=down", false}};
    std::uint8_t slot = 210;
    for (const Case& c : cases) {
        const korvane::SlotFiles files = korvane::SlotFilesFor(Os::Windows, paths, slot);
        korvane::ArmMarker(files.marker);
        platform::RemoveFile(files.result);
        toolkit::SaveText(files.script,
                          korvane::CheckScript(Os::Windows, paths, c.host, c.host, slot).value());
        ASSERT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, files.script)));
        ASSERT_TRUE(WaitFor([&] { return korvane::FinishedSlot(slot).has_value(); })) << c.host;
        const toolkit::TextList output = toolkit::LoadOutputLines(files.result);
        ASSERT_FALSE(output.empty()) << c.host;
        EXPECT_EQ(toolkit::Trim(output.back()), c.verdict);
        EXPECT_EQ(korvane::CheckIncident(korvane::FollowKind::Shutdown, output).has_value(),
                  c.incidentAfterShutdown)
            << c.host;
        ++slot;
    }
    korvane::CleanSlotFiles(paths.scratchDir);
}

// A Korvane's slot folder is known by its process: kept while that process
// runs (a window beside "--planificateur"), gone at the first start after it
// ended, its read-only marker with it. The process here is held suspended,
// then ended; the handle kept meanwhile keeps its id from a later process.
TEST(Win32Batches, SlotFolderOfAnotherKorvaneStaysWhileItRuns) {
    const AccentedScratch scratch;
    const std::string folder = toolkit::ScratchDir();
    const platform::ProcessIdentity self = platform::ThisProcess();
    EXPECT_NE(self.started, 0u);
    EXPECT_TRUE(platform::ProcessRuns(self));
    EXPECT_FALSE(platform::ProcessRuns({self.id, self.started + 1}));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION other{};
    std::wstring line = L"cmd.exe /c exit 0";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &other));
    FILETIME created{}, ended{}, kernel{}, user{};
    ASSERT_TRUE(GetProcessTimes(other.hProcess, &created, &ended, &kernel, &user));
    const platform::ProcessIdentity identity{
        other.dwProcessId,
        static_cast<std::uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime};
    const std::string slots = folder + korvane::ProcessFolderName(identity) + "\\";
    ASSERT_EQ(platform::MakeFolder(slots), 0);
    korvane::ArmMarker(slots + "4.mark");
    toolkit::SaveText(slots + "ping4.bat", "rem\r\n");

    korvane::RemoveEarlierRunFiles(folder);
    EXPECT_TRUE(platform::FileExists(slots + "4.mark"));
    EXPECT_TRUE(platform::FileExists(slots + "ping4.bat"));
    TerminateProcess(other.hProcess, 0);
    WaitForSingleObject(other.hProcess, INFINITE);
    EXPECT_FALSE(platform::ProcessRuns(identity));
    korvane::RemoveEarlierRunFiles(folder);
    EXPECT_FALSE(platform::FileExists(slots + "4.mark"));
    EXPECT_FALSE(platform::RemoveEmptyFolder(slots));  // gone already
    CloseHandle(other.hThread);
    CloseHandle(other.hProcess);
}

// The shutdown batch through cmd.exe to the stand-in of shutdown.exe, which
// prints its arguments as its C runtime splits them: a comment ending in
// backslashes arrives whole, and "-m \\IP" stays two switches of their own
// (read into the comment, they would leave a shutdown of this computer).
TEST(Win32Batches, ShutdownCommentEndingInBackslashesArrivesWhole) {
    const toolkit::ToolPaths paths = toolkit::HostToolPaths();
    Folder folder("comment");
    for (const std::string& comment : {std::string("Dossier partage : C:\\Partage\\"),
                                       std::string("fin \\\\"), std::string("100% \\\\\\")}) {
        korvane::PowerCommand command = korvane::ShutdownCommand(
            Os::Windows, paths, "PC-BUREAU", "10.9.0.5", korvane::ShutdownSettings{30, comment});
        ASSERT_FALSE(command.Refused()) << command.refusal;
        toolkit::SaveText(folder / "shutdn.bat", command.scriptText);
        ASSERT_EQ(toolkit::RunAndWait((folder / "shutdn.bat") + " > " + (folder / "args.txt")), 0);
        toolkit::TextList arguments;
        for (const std::string& line : toolkit::LoadLines(folder / "args.txt")) {
            if (line.starts_with("[") && line.ends_with("]"))
                arguments.push_back(line.substr(1, line.size() - 2));
        }
        EXPECT_EQ(arguments,
                  (toolkit::TextList{"-s", "-f", "-t", "30", "-c", comment, "-m", "\\\\10.9.0.5"}))
            << command.commandLine;
    }
}

// A program folder named with a character the console's code page lacks
// ("œ", not in 850) is named by its short form, which the poll batch can
// hold: the poll runs hostping.exe from it. Kept as it is, every poll batch
// would be refused.
TEST(Win32Batches, AProgramFolderTheConsoleCannotNameGoesByItsShortForm) {
    const AccentedScratch scratch;
    const fs::path wide(L"C:\\korvane-test Lœtitia");
    fs::remove_all(wide);
    fs::create_directory(wide);
    const std::string named = "C:\\korvane-test Lœtitia\\";
    EXPECT_EQ(platform::BatchMissingCharacter(named), "œ");
    fs::copy_file(platform::Wide(toolkit::HostToolPaths().programDir + "hostping.exe"),
                  wide / L"hostping.exe");
    const std::string programDir = platform::UserProgramDir(named);
    EXPECT_EQ(platform::BatchMissingCharacter(programDir), "") << programDir;
    EXPECT_TRUE(platform::FileExists(programDir + "hostping.exe")) << programDir;

    const toolkit::ToolPaths paths{programDir, korvane::SlotPaths().scratchDir};
    Folder folder("court");
    toolkit::SaveLines(folder / "localIP", {"127.0.0.1", "198.51.100.7"});
    const std::uint8_t slot = 205;
    const korvane::SlotFiles files = korvane::SlotFilesFor(Os::Windows, paths, slot);
    korvane::ArmMarker(files.marker);
    platform::RemoveFile(files.result);
    toolkit::SaveText(files.script,
                      korvane::PollScript(Os::Windows, paths, folder / "localIP", slot));
    ASSERT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, files.script)));
    ASSERT_TRUE(WaitFor([&] { return korvane::FinishedSlot(slot).has_value(); }));
    EXPECT_EQ(Bytes(files.result), "127.0.0.1=1\r\n");
    korvane::CleanSlotFiles(paths.scratchDir);
    std::error_code ignored;
    fs::remove_all(wide, ignored);
}

// The SSH line through cmd.exe to the stand-in of Windows' ssh.exe, at its
// full path: a program folder holding what cmd.exe treats apart ("&", "^",
// "%", "!", blanks, brackets, accents) reaches ssh whole in the known-hosts
// option and the key's path, and "--" stands between the options and the
// address. Were a path outside cmd.exe's quotes, "&" would cut the line
// there and run the rest as another command.
TEST(Win32Batches, SshLineReachesSshWithEachArgumentWhole) {
    Folder folder("ssh");
    for (const std::string& dir : {std::string("C:\\Users\\R&D\\AppData\\Local\\Korvane\\"),
                                   std::string("C:\\Program Files\\Korvane 100% ^x^ !y! (é)\\"),
                                   std::string("C:\\Users\\O'Brien\\x;y,z=w\\")}) {
        const toolkit::ToolPaths paths{dir, "c:\\"};
        const korvane::PowerCommand command =
            korvane::SshCommand(Os::Windows, paths, korvane::PowerAction::Shutdown, "PC-Bureau",
                                "10.9.0.5", {"PC-Bureau", "anne", ""});
        ASSERT_FALSE(command.Refused()) << command.refusal;
        toolkit::SaveText(folder / "shutdn.bat", command.scriptText);
        ASSERT_EQ(toolkit::RunAndWait("cmd.exe /c " + (folder / "shutdn.bat") + " > " +
                                      (folder / "args.txt")),
                  0)
            << command.commandLine;
        toolkit::TextList arguments;
        for (const std::string& line : toolkit::LoadLines(folder / "args.txt")) {
            if (line.starts_with("[") && line.ends_with("]"))
                arguments.push_back(line.substr(1, line.size() - 2));
        }
        std::string sshDir;  // ssh reads "%%" in a path as one "%"
        for (const char c : dir) sshDir += c == '%' ? std::string("%%") : std::string(1, c);
        EXPECT_EQ(arguments, (toolkit::TextList{"-o",
                                                "BatchMode=yes",
                                                "-o",
                                                "StrictHostKeyChecking=accept-new",
                                                "-o",
                                                "UserKnownHostsFile=\"" + sshDir + "known_hosts\"",
                                                "-o",
                                                "HostKeyAlias=korvane-pc-bureau",
                                                "-o",
                                                "CheckHostIP=no",
                                                "-o",
                                                "IdentitiesOnly=yes",
                                                "-o",
                                                "ConnectTimeout=15",
                                                "-i",
                                                sshDir + "korvane_ssh",
                                                "-l",
                                                "anne",
                                                "--",
                                                "10.9.0.5",
                                                "sudo -n systemctl poweroff"}))
            << command.commandLine;
    }
}

}  // namespace
