// The Windows back end's text and work folder, under Wine in a French
// locale (ANSI code page 1252, console code page 850): the scratch folder in
// the user's own folder and its refusals, names with accents on the disk,
// lists in UTF-8 or ANSI, outputs in the console's code page, and batch
// files written in it.
// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>
// The platform layer's own ReplaceFile, not the Win32 macro.
#undef ReplaceFile

#include <gtest/gtest.h>
#include <sddl.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_text.h"
#include "tools.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
namespace platform = toolkit::platform;

// An environment variable for the length of a test.
class ScopedVariable {
  public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const wchar_t* name_;
};

// A folder of its own, named with accents, removed with its content.
class Folder {
  public:
    Folder() { fs::create_directory(kWide); }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(kWide, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string operator/(const std::string& name) const { return std::string(kPath) + name; }
    static constexpr const wchar_t* kWide = L"C:\\korvane-test-Réseau";
    static constexpr const char* kPath = "C:\\korvane-test-Réseau\\";
};

std::string LocalAppData() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    return platform::Utf8(std::wstring(buffer, length));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    platform::ReplaceFile(path, bytes);  // as they are: no code page applied
}

// The French message names the folder and says why.
void ExpectScratchRefusal(const std::string& why) {
    try {
        const std::string accepted = toolkit::ScratchDir();
        ADD_FAILURE() << accepted << " accepted, expected: " << why;
    } catch (const toolkit::ScratchError& error) {
        EXPECT_NE(std::string(error.what()).find(why), std::string::npos) << error.what();
    }
}

TEST(Win32Scratch, TheUsersOwnFolderOrTheNamedOneAndUnsafeOnesRefused) {
    // Made at the first use, in the user's own folder.
    EXPECT_EQ(toolkit::ScratchDir(), LocalAppData() + "\\Korvane\\travail\\");
    EXPECT_TRUE(fs::is_directory(platform::Wide(LocalAppData() + "\\Korvane\\travail")));

    const Folder folder;
    {
        const ScopedVariable named(L"KORVANE_SCRATCH", L"C:\\korvane-test-Réseau\\a b\\travail");
        EXPECT_EQ(toolkit::ScratchDir(), folder / "a b\\travail\\") << "made with its parents";
        EXPECT_EQ(toolkit::ScratchDir(), folder / "a b\\travail\\") << "and taken again";
    }
    {
        // A name the console's code page cannot write in a batch file goes by
        // its short form.
        const ScopedVariable named(L"KORVANE_SCRATCH", L"C:\\korvane-test-Réseau\\Ωμέγα");
        const std::string scratch = toolkit::ScratchDir();
        EXPECT_NO_THROW(platform::FileBytesFor("x.bat", scratch)) << scratch;
        toolkit::SaveLines(scratch + "trace", {});
        EXPECT_TRUE(fs::exists(L"C:\\korvane-test-Réseau\\Ωμέγα\\trace")) << scratch;
    }
    // Made by someone else for everyone to read, as a shared folder is.
    SECURITY_ATTRIBUTES open{sizeof open, nullptr, FALSE};
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open.lpSecurityDescriptor, nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"C:\\korvane-test-Réseau\\ouvert", &open));
    LocalFree(open.lpSecurityDescriptor);
    WriteBytes(folder / "fichier", "");
    // Wine makes no symbolic link (its CreateSymbolicLinkW does nothing):
    // run.sh leaves one, made on the Linux side, where Windows would have a
    // junction.
    const wchar_t* link = L"C:\\korvane-lien";
    if (GetFileAttributesW(link) == INVALID_FILE_ATTRIBUTES) {
        CreateSymbolicLinkW(link, L"C:\\korvane-test-Réseau\\a b", SYMBOLIC_LINK_FLAG_DIRECTORY);
    }
    const DWORD linkAttributes = GetFileAttributesW(link);
    const bool linked = linkAttributes != INVALID_FILE_ATTRIBUTES &&
                        (linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    struct Case {
        const wchar_t* value;
        std::string why;
    };
    std::vector<Case> cases = {
        {L"travail", "n'est pas un chemin absolu"},
        {L"\\travail", "n'est pas un chemin absolu"},
        {L"C:travail", "n'est pas un chemin absolu"},
        {L"C:\\korvane-test-Réseau\\100%", "contient « % »"},
        {L"C:\\korvane-test-Réseau\\ouvert", "est ouvert aux autres utilisateurs"},
        {L"C:\\korvane-test-Réseau\\fichier", "n'est pas un dossier"},
    };
    if (linked) cases.push_back({link, "est un lien"});
    for (const Case& c : cases) {
        const ScopedVariable named(L"KORVANE_SCRATCH", c.value);
        ExpectScratchRefusal(c.why);
    }
    if (!linked) GTEST_SKIP() << "aucun lien à refuser : C:\\korvane-lien n'a pu être fait";
}

TEST(Win32Text, AccentedNamesReachTheDiskAsTheyAre) {
    const Folder folder;
    const std::string list = folder / "Comptabilité";
    toolkit::SaveLines(list, {"Réception 10.0.0.1"});
    EXPECT_TRUE(fs::exists(fs::path(L"C:\\korvane-test-Réseau\\Comptabilité")));
    EXPECT_EQ(platform::ListFolder(Folder::kPath), std::vector<std::string>{"Comptabilité"});
    EXPECT_EQ(toolkit::LoadLines(list), toolkit::TextList{"Réception 10.0.0.1"});
    EXPECT_EQ(platform::MoveFileNoReplace(list, folder / "Été"), 0);
    EXPECT_TRUE(platform::FileExists(folder / "Été"));
    EXPECT_TRUE(platform::RemoveFile(folder / "Été"));
    EXPECT_FALSE(fs::exists(fs::path(L"C:\\korvane-test-Réseau\\Été")));
}

// A list from an older tool or editor is in the ANSI code page, what a
// console command writes through a redirection in the console's: each line
// that is not UTF-8 is read from its own.
TEST(Win32Text, ListsInUtf8OrAnsiAndOutputsInTheConsoleCodePage) {
    const Folder folder;
    struct Case {
        std::string bytes;
        std::function<toolkit::TextList(const std::string&)> load;
        toolkit::TextList lines;
    };
    const std::vector<Case> cases = {
        {"Comptabilit\xC3\xA9 10.0.0.1\r\n", toolkit::LoadLines, {"Comptabilité 10.0.0.1"}},
        {"Comptabilit\xE9 10.0.0.1\r\n\xC9t\xE9\r\n",
         toolkit::LoadLines,
         {"Comptabilité 10.0.0.1", "Été"}},
        {"\xEF\xBB\xBFR\xC3\xA9seau\r\n", toolkit::LoadLines, {"Réseau"}},
        {"fin de Comptabilit\x82 : 0\r\nAcc\x8As refus\x82.\r\n",
         toolkit::LoadOutputLines,
         {"fin de Comptabilité : 0", "Accès refusé."}},
        {"fin de Comptabilit\xC3\xA9 : 0\r\n",
         toolkit::LoadOutputLines,
         {"fin de Comptabilité : 0"}},
    };
    for (const Case& c : cases) {
        WriteBytes(folder / "liste", c.bytes);
        EXPECT_EQ(c.load(folder / "liste"), c.lines) << c.bytes;
    }
}

// cmd.exe reads a batch file in the console's code page (850 in a French
// console); a character it lacks is refused rather than written as another.
TEST(Win32Text, BatchFilesAreWrittenInTheConsoleCodePage) {
    ASSERT_EQ(GetOEMCP(), 850u) << "les tests Windows tournent dans une locale française";
    const Folder folder;
    toolkit::SaveText(folder / "réveil.bat", "echo Comptabilité > \"C:\\Été\\x.txt\"\r\n");
    EXPECT_EQ(platform::ReadRegularFile(folder / "réveil.bat", 1000),
              "echo Comptabilit\x82 > \"C:\\\x90t\x82\\x.txt\"\r\n");
    toolkit::SaveLines(folder / "arrêt.CMD", {"echo à"});
    EXPECT_EQ(platform::ReadRegularFile(folder / "arrêt.CMD", 1000), "echo \x85\r\n");
    toolkit::SaveText(folder / "note.txt", "Comptabilité");
    EXPECT_EQ(platform::ReadRegularFile(folder / "note.txt", 1000), "Comptabilit\xC3\xA9");
    try {
        toolkit::SaveText(folder / "euro.bat", "echo 100 €\r\n");
        ADD_FAILURE() << "a character the code page lacks was written";
    } catch (const toolkit::FileError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("« " + folder / "euro.bat" + " »"), std::string::npos) << text;
        EXPECT_NE(text.find("le caractère « € »"), std::string::npos) << text;
    }
    EXPECT_FALSE(platform::FileExists(folder / "euro.bat"));
}

}  // namespace
