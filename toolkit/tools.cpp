#include "tools.h"

#include <mutex>
#include <optional>

#include "platform/platform.h"
#include "reseau.h"

namespace toolkit {

namespace {

std::mutex programDirMutex;
std::optional<std::string> programDirOverride;

// The captured commands of POSIX run this project's netcmd from the program
// folder, which prints the same French listings that the parsers read.
CapturedCommand PosixNetcmd(const ToolPaths& paths, const std::string& arguments,
                            std::string_view outputName) {
    const std::string output = ScratchFile(Os::Posix, paths, outputName);
    return {ShellQuote(paths.programDir + "netcmd") + " " + arguments + " > " + ShellQuote(output),
            output};
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
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const std::lock_guard lock(programDirMutex);
    programDirOverride = std::move(dir);
}

std::string ScratchDir() {
    return platform::PrepareScratchDir();
}

ToolPaths HostToolPaths() {
    return {ProgramDir(), ScratchDir()};
}

std::string ScratchFile(Os os, const ToolPaths& paths, std::string_view name) {
    if (os == Os::Windows) return "c:\\" + std::string(name);
    return paths.scratchDir + std::string(name);
}

CapturedCommand IpConfigCommand(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) {
        return {"cmd.exe /c ipconfig /all > c:\\ipconfig.txt", "c:\\ipconfig.txt"};
    }
    return PosixNetcmd(paths, "ipconfig /all", "ipconfig.txt");
}

CapturedCommand NbtstatCommand(Os os, const ToolPaths& paths, std::string_view address) {
    if (!IsDottedIPv4(address)) {
        throw std::invalid_argument("adresse IPv4 invalide : " + std::string(address));
    }
    if (os == Os::Windows) {
        return {"cmd.exe /c nbtstat -a " + std::string(address) + " > c:\\nbtstat.txt",
                "c:\\nbtstat.txt"};
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
    if (os == Os::Windows) return {"cmd.exe /c nbtstat -c > c:\\nbtcache.txt", "c:\\nbtcache.txt"};
    return PosixNetcmd(paths, "nbtstat -c", "nbtcache.txt");
}

CapturedCommand ArpCommand(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) return {"cmd.exe /c arp -a > c:\\arpcache.txt", "c:\\arpcache.txt"};
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
