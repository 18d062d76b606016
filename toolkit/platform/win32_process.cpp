// Processes on Windows: the captured start (hidden, waited for) and the
// detached start of batch files and of netsweep, both through the system's
// cmd.exe, and the shell's "open"; command lines and folders through the
// wide calls, whatever their characters.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "platform/win32_text.h"

namespace toolkit::platform {

namespace {

const wchar_t* FolderOrNull(const std::wstring& workDir) {
    return workDir.empty() ? nullptr : workDir.c_str();
}

// The system's cmd.exe, by its full path: CreateProcess looks for a bare
// name in the program's own folder first, where an entry's group file may
// bear any name.
std::wstring SystemShell() {
    std::wstring folder(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (length == 0 || length >= folder.size()) return L"C:\\Windows\\System32\\cmd.exe";
    folder.resize(length);
    return folder + L"\\cmd.exe";
}

// Every line runs through cmd.exe, as every POSIX one through /bin/sh: it
// expands %SystemRoot% in the tools' paths and reads the redirections. /s
// takes what follows /c whole, its outer quotes only removed, so that a
// quoted path holding "&", "^", "(" or blanks stays one word; /d leaves out
// the AutoRun commands of the registry, /v:off keeps "!" a plain character.
// CreateProcess may write into the command line, so it gets a copy.
std::vector<wchar_t> ShellLine(const std::string& line) {
    const std::wstring wide = L"cmd.exe /d /v:off /s /c \"" + Wide(line) + L"\"";
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    return buffer;
}

}  // namespace

// Hidden, inheriting the caller's three standard handles, in workDir (the
// scratch folder), waited for without a time limit.
int RunShellAndWait(const std::string& line, const std::string& workDir) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> commandLine = ShellLine(line);
    const std::wstring folder = Wide(workDir);
    const std::wstring shell = SystemShell();
    if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        FolderOrNull(folder), &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    if (!GetExitCodeProcess(process.hProcess, &status)) status = static_cast<DWORD>(-1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

namespace {

// One word of a command line as the C runtime's parser reads it back:
// quoted, its quotes and the backslashes before them escaped.
std::wstring QuotedWord(const std::wstring& word) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

int RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      std::string* output) {
    if (output) output->clear();
    std::wstring line = QuotedWord(Wide(program));
    for (const std::string& argument : arguments) line += L" " + QuotedWord(Wide(argument));
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return known ? static_cast<int>(code) : -1;
}

namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

std::optional<std::string> UserLogonEntry(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring value = Wide(name);
    DWORD type = 0, bytes = 0;
    std::optional<std::string> command;
    if (RegQueryValueExW(key, value.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, value.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(text.data()), &size) == ERROR_SUCCESS) {
            text.resize(text.find(L'\0'));
            command = Utf8(text);
        }
    }
    RegCloseKey(key);
    return command;
}

bool SetUserLogonEntry(const std::string& name, const std::string& command) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring text = Wide(command);
    const bool written =
        RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool RemoveUserLogonEntry(const std::string& name) {
    HKEY key = nullptr;
    const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LSTATUS removed = RegDeleteValueW(key, Wide(name).c_str());
    RegCloseKey(key);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

// As WinExec with SW_HIDE: the line runs hidden in a console of its own (a
// batch file keeps running when the caller's console goes), outside the
// caller's Ctrl+C group, inheriting nothing, in the caller's current folder;
// its handles are closed at once, so nothing waits for it.
bool StartShellDetached(const std::string& line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> commandLine = ShellLine(line);
    const std::wstring shell = SystemShell();
    if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The document is one argument, quoted for the program's command line
// (Windows paths hold spaces, never quotes).
int ShellOpenProgram(const std::string& program, const std::string& argument,
                     const std::string& workDir) {
    const std::wstring parameters = Wide("\"" + argument + "\"");
    const std::wstring folder = Wide(workDir);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", Wide(program).c_str(),
                                           parameters.c_str(), FolderOrNull(folder), SW_SHOWNORMAL);
    return static_cast<int>(reinterpret_cast<std::intptr_t>(result));
}

int ShellOpenDocument(const std::string& target) {
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return static_cast<int>(reinterpret_cast<std::intptr_t>(result));
}

std::string ExecutableDir() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return ".\\";
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return Utf8(buffer.substr(0, buffer.find_last_of(L"\\/") + 1));
}

namespace {

std::uint64_t TimeValue(const FILETIME& time) {
    return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The process's creation time, in the 100 ns steps of FILETIME.
std::optional<std::uint64_t> CreationTimeOf(HANDLE process) {
    FILETIME created{}, ended{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return std::nullopt;
    return TimeValue(created);
}

}  // namespace

ProcessIdentity ThisProcess() {
    return {GetCurrentProcessId(), CreationTimeOf(GetCurrentProcess()).value_or(0)};
}

// An id that names no process is refused as an invalid parameter; any other
// refusal (another user's process) says it runs. A process that ended but
// whose handle someone keeps still opens, signalled.
bool ProcessRuns(const ProcessIdentity& process) {
    if (process.id == 0 || process.id > 0xFFFFFFFFu) return false;
    const HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                      static_cast<DWORD>(process.id));
    if (handle == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    bool runs = WaitForSingleObject(handle, 0) != WAIT_OBJECT_0;
    if (runs) {
        const std::optional<std::uint64_t> started = CreationTimeOf(handle);
        runs = !started || *started == process.started;
    }
    CloseHandle(handle);
    return runs;
}

}  // namespace toolkit::platform
