// The scratch folder on Windows: a folder of the user's own,
// %LOCALAPPDATA%\Korvane\travail (a standard user of Windows 10 and later
// may not create files at the root of C:), or the one KORVANE_SCRATCH names
// (an absolute path). It is refused as the POSIX one is: a link (a junction
// or a symbolic link could lead the work files elsewhere), a folder that
// belongs to someone else or that others may open. The folder made here is
// private from the start: only the user, the system and the administrators
// have access, as to the rest of the user's %LOCALAPPDATA%.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "platform/win32_error.h"
#include "platform/win32_security.h"
#include "platform/win32_text.h"
#include "tools.h"
#include "utils.h"

namespace toolkit::platform {

namespace {

constexpr const wchar_t* kScratchVariable = L"KORVANE_SCRATCH";
constexpr const wchar_t* kUserScratch = L"Korvane\\travail";

[[noreturn]] void Fail(const std::string& message) {
    throw ScratchError(message);
}

std::string Named(const std::wstring& path) {
    return "Le dossier de travail « " + Utf8(path) + " »";
}

std::optional<std::wstring> Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size) return std::nullopt;
    value.resize(length);
    return value;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:\..." or "\\server\share\...": commands run with the scratch folder as
// their working folder, where a relative path would name another folder.
bool IsAbsolute(const std::wstring& path) {
    const bool drive =
        path.size() >= 3 &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && IsSeparator(path[2]);
    const bool share =
        path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    return drive || share;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && IsSeparator(path.back())) path.pop_back();
    return path;
}

std::wstring LocalAppData() {
    PWSTR known = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) folder = known;
    CoTaskMemFree(known);
    if (folder.empty()) folder = Environment(L"LOCALAPPDATA").value_or(L"");
    return folder;
}

std::wstring ChooseScratch() {
    if (const auto own = Environment(kScratchVariable); own && !own->empty()) {
        if (!IsAbsolute(*own)) {
            Fail(Named(*own) + " (KORVANE_SCRATCH) n'est pas un chemin absolu : il est refusé.");
        }
        return WithoutTrailingSeparators(*own);
    }
    const std::wstring local = LocalAppData();
    if (local.empty()) {
        Fail(
            "Le dossier des données locales de l'utilisateur (%LOCALAPPDATA%) est introuvable : "
            "aucun dossier de travail.");
    }
    return WithoutTrailingSeparators(local) + L"\\" + kUserScratch;
}

// The batch files name their work files with the folder: cmd.exe would take
// a "%" for the start of a variable.
void RefuseUnfitPath(const std::wstring& path) {
    if (path.find_first_of(L"%\"") != std::wstring::npos) {
        Fail(Named(path) +
             " contient « % » ou « \" », que cmd.exe lirait autrement dans les fichiers de "
             "commandes : il est refusé. Choisissez un autre dossier (KORVANE_SCRATCH).");
    }
}

// The folder itself, never what a link would lead to.
HANDLE OpenFolder(const std::wstring& path) {
    return CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

// The link is looked for by name too: Wine opens what a symbolic link leads
// to whatever the flags.
std::string FolderProblem(HANDLE folder, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder, &info)) {
        return "Impossible d'examiner le dossier de travail « " + Utf8(path) +
               " » : " + SystemErrorText(LastErrno());
    }
    const DWORD named = GetFileAttributesW(path.c_str());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT))) {
        return Named(path) + " est un lien : il est refusé par sécurité.";
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Named(path) + " n'est pas un dossier.";
    }
    Protection protection;
    if (const DWORD status = ProtectionOf(folder, protection); status != 0) {
        return "Impossible d'examiner le dossier de travail « " + Utf8(path) +
               " » : " + SystemErrorText(ErrnoOf(status));
    }
    if (!protection.ownedByUs) {
        return Named(path) + " appartient à un autre utilisateur : il est refusé par sécurité.";
    }
    if (protection.openToOthers) {
        return Named(path) + " est ouvert aux autres utilisateurs : il est refusé par sécurité.";
    }
    return {};
}

void CheckScratchFolder(const std::wstring& path) {
    const HANDLE folder = OpenFolder(path);
    if (folder == INVALID_HANDLE_VALUE) {
        Fail("Impossible d'ouvrir le dossier de travail « " + Utf8(path) +
             " » : " + SystemErrorText(LastErrno()));
    }
    const std::string problem = FolderProblem(folder, path);
    CloseHandle(folder);
    if (!problem.empty()) Fail(problem);
}

// Parents are made with what their own parent gives; only the last folder
// holds the work files and is made private.
void CreateParents(const std::wstring& path) {
    for (std::size_t at = path.find_first_of(L"\\/", 3); at != std::wstring::npos;
         at = path.find_first_of(L"\\/", at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
}

// Full access for the user, the system and the administrators, nothing
// inherited from a parent that others may open; the user owns it even when
// made by an administrator's elevated program, whose files the
// administrators' group would own. Returns the system's error code, 0 when
// the folder was made.
DWORD CreatePrivateFolder(const std::wstring& path) {
    const Identity identity;
    LPWSTR user = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (identity.Known() && ConvertSidToStringSidW(identity.User(), &user)) {
        const std::wstring rules = L"O:" + std::wstring(user) + L"D:P(A;OICI;FA;;;" +
                                   std::wstring(user) + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
        LocalFree(user);
        ConvertStringSecurityDescriptorToSecurityDescriptorW(
            rules.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr);
    }
    // Without a descriptor the folder gets its parent's rules, which the
    // check that follows judges.
    const DWORD error = CreateDirectoryW(path.c_str(), &attributes) ? 0 : GetLastError();
    LocalFree(attributes.lpSecurityDescriptor);
    return error;
}

}  // namespace

std::string PrepareScratchDir() {
    const std::wstring path = ChooseScratch();
    RefuseUnfitPath(path);
    CreateParents(path);
    if (const DWORD error = CreatePrivateFolder(path);
        error != 0 && error != ERROR_ALREADY_EXISTS) {
        Fail("Impossible de créer le dossier de travail « " + Utf8(path) +
             " » : " + SystemErrorText(ErrnoOf(error)));
    }
    CheckScratchFolder(path);
    const std::string named = Utf8(NameForBatchFiles(path));
    return IsSeparator(static_cast<wchar_t>(named.back())) ? named : named + "\\";
}

}  // namespace toolkit::platform
