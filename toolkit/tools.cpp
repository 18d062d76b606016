#include "tools.h"

#include <mutex>
#include <optional>

#include "platform/platform.h"
#include "reseau.h"

namespace toolkit {

namespace {

std::mutex programDirMutex;
std::optional<std::string> programDirOverride;

// Each captured start writes a file of its own. The scratch folder is shared
// by all of a user's programs: a window and the planner starting together,
// or netsweep beside them, all run "ipconfig /all", and with one name each
// would read the other's half-written listing. The name is that of one of
// this process's temporaries (".ipconfig.txt.tmp-PID-N"), so that what a
// process killed before it removed its output leaves goes with the other
// temporaries of writers that are gone, at the next start.
std::string CapturedOutput(Os os, const ToolPaths& paths, std::string_view name) {
    return platform::TemporaryPathFor(ScratchFile(os, paths, name));
}

// The captured commands of POSIX run this project's netcmd from the program
// folder, which prints the same French listings that the parsers read.
CapturedCommand PosixNetcmd(const ToolPaths& paths, const std::string& arguments,
                            std::string_view outputName) {
    const std::string output = CapturedOutput(Os::Posix, paths, outputName);
    return {ShellQuote(paths.programDir + "netcmd") + " " + arguments + " > " + ShellQuote(output),
            output};
}

// The Windows commands themselves from the system folder, their output
// redirected into the scratch folder by cmd.exe, which runs every captured
// line there.
CapturedCommand WindowsCaptured(const ToolPaths& paths, std::string_view program,
                                const std::string& arguments, std::string_view outputName) {
    const std::string output = CapturedOutput(Os::Windows, paths, outputName);
    return {WindowsSystemTool(program) + " " + arguments + " > " + CmdPath(output), output};
}

}  // namespace

std::string ProgramDir() {
    {
        const std::lock_guard lock(programDirMutex);
        if (programDirOverride) return *programDirOverride;
    }
    // Worked out once: the per-user folder and its links are made at the
    // first use, not at every file name built.
    static const std::string dir = platform::UserProgramDir(platform::ExecutableDir());
    return dir;
}

void SetProgramDir(std::string dir) {
    const bool separated =
        !dir.empty() && (dir.back() == '/' || (kHostOs == Os::Windows && dir.back() == '\\'));
    if (!dir.empty() && !separated) dir += kHostOs == Os::Windows ? '\\' : '/';
    const std::lock_guard lock(programDirMutex);
    programDirOverride = std::move(dir);
}

std::string ScratchDir() {
    return platform::PrepareScratchDir();
}

ToolPaths HostToolPaths() {
    return {ProgramDir(), ScratchDir()};
}

std::string ScratchFile(Os, const ToolPaths& paths, std::string_view name) {
    return paths.scratchDir + std::string(name);
}

std::string CmdPath(std::string_view path) {
    constexpr std::string_view kApart = " \t&()[]{}^=;!'+,`~<>|";
    if (path.find_first_of(kApart) == std::string_view::npos) return std::string(path);
    return "\"" + std::string(path) + "\"";
}

std::string BatchPath(std::string_view path) {
    return CmdPath(DoublePercents(path));
}

std::string DoublePercents(std::string_view text) {
    std::string doubled;
    for (const char c : text) {
        doubled += c;
        if (c == '%') doubled += '%';
    }
    return doubled;
}

std::string WindowsSystemTool(std::string_view program) {
    return "\"%SystemRoot%\\System32\\" + std::string(program) + "\"";
}

std::string BatchProgram(const ToolPaths& paths, std::string_view program) {
    return "\"" + DoublePercents(paths.programDir) + std::string(program) + "\"";
}

CapturedCommand IpConfigCommand(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) return WindowsCaptured(paths, "ipconfig.exe", "/all", "ipconfig.txt");
    return PosixNetcmd(paths, "ipconfig /all", "ipconfig.txt");
}

CapturedCommand NbtstatCommand(Os os, const ToolPaths& paths, std::string_view address) {
    if (!IsDottedIPv4(address)) {
        throw std::invalid_argument("adresse IPv4 invalide : " + std::string(address));
    }
    if (os == Os::Windows) {
        return WindowsCaptured(paths, "nbtstat.exe", "-a " + std::string(address), "nbtstat.txt");
    }
    return PosixNetcmd(paths, "nbtstat -a " + ShellQuote(address), "nbtstat.txt");
}

std::optional<CapturedCommand> NbtstatListCommand(Os os, const ToolPaths& paths,
                                                  const std::vector<std::string>& addresses) {
    std::string arguments = "nbtstat -a";
    for (const std::string& address : addresses) {
        if (!IsDottedIPv4(address))
            throw std::invalid_argument("adresse IPv4 invalide : " + address);
        arguments += " " + ShellQuote(address);
    }
    if (os == Os::Windows) return std::nullopt;
    return PosixNetcmd(paths, arguments, "nbtstat.txt");
}

CapturedCommand NbtCacheCommand(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) return WindowsCaptured(paths, "nbtstat.exe", "-c", "nbtcache.txt");
    return PosixNetcmd(paths, "nbtstat -c", "nbtcache.txt");
}

CapturedCommand ArpCommand(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) return WindowsCaptured(paths, "arp.exe", "-a", "arpcache.txt");
    return PosixNetcmd(paths, "arp -a", "arpcache.txt");
}

std::string ShellQuote(std::string_view word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

bool StartDetached(const std::string& commandLine) {
    return platform::StartShellDetached(commandLine);
}

int ShellOpenProgram(const std::string& program, const std::string& argument,
                     const std::string& workDir) {
    return platform::ShellOpenProgram(program, argument, workDir);
}

int ShellOpenDocument(const std::string& target) {
    return platform::ShellOpenDocument(target);
}

}  // namespace toolkit
