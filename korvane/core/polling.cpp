#include "korvane/core/polling.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>

#include "korvane/core/KrvVar.h"
#include "korvane/core/names.h"
#include "platform/platform.h"

namespace korvane {

namespace {

using toolkit::BatchPath;
using toolkit::ShellQuote;

constexpr const char* kCrLf = "\r\n";

std::string SlotText(std::uint8_t slot) {
    return std::to_string(slot);
}

using toolkit::IsAsciiDigit;
using toolkit::IsAsciiLetter;

// A slot number as the launchers write it: "0" to "255", no leading zero.
bool IsSlotNumber(std::string_view text) {
    if (text.empty() || text.size() > 3) return false;
    if (!std::all_of(text.begin(), text.end(), IsAsciiDigit)) return false;
    if (text.size() > 1 && text.front() == '0') return false;
    return std::stoi(std::string(text)) <= 255;
}

// `name` is prefix + a slot number + suffix.
bool HasSlotShape(std::string_view name, std::string_view prefix, std::string_view suffix) {
    if (name.size() <= prefix.size() + suffix.size()) return false;
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return false;
    return IsSlotNumber(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
}

// The batch's last line: attrib, from the system folder, makes the marker
// writable again.
std::string WindowsMarkerRelease(const std::string& marker) {
    return toolkit::WindowsSystemTool("attrib.exe") + " -R " + BatchPath(marker) + kCrLf;
}

// The check probes as the poll does, with hostping on a one-line list, so
// that a name resolves as the poll resolves it (DNS, then NetBIOS on the
// LAN) and a computer that drops pings or lost one datagram is still found
// on; it asks up to kCheckRounds times before hostping writes the verdict
// line. The batch's echo leaves a blank after the target, which hostping
// trims. When hostping itself fails (no ICMP socket, a file it cannot write)
// no verdict is written: on POSIX its reason stays in the error file.
std::string WindowsCheckScript(const ToolPaths& paths, std::string_view host,
                               std::string_view target, const SlotFiles& files) {
    const std::string list = BatchPath(files.list);
    return "echo " + std::string(target) + " >" + list + kCrLf +
           toolkit::BatchProgram(paths, "hostping.exe") + " --essais " +
           std::to_string(kCheckRounds) + " --verdict " + std::string(host) + " " + list + " " +
           BatchPath(files.result) + kCrLf + WindowsMarkerRelease(files.marker);
}

std::string PosixCheckScript(const ToolPaths& paths, std::string_view host, std::string_view target,
                             const SlotFiles& files) {
    const std::string list = ShellQuote(files.list);
    return "printf '%s\\n' " + ShellQuote(std::string(target)) + " >" + list + "\n" +
           ShellQuote(paths.programDir + "hostping") + " --essais " + std::to_string(kCheckRounds) +
           " --verdict " + ShellQuote(std::string(host)) + " " + list + " " +
           ShellQuote(files.result) + " 2>" + ShellQuote(files.errors) + "\n" + "chmod u+w " +
           ShellQuote(files.marker) + "\n";
}

// A folder's path, given with its trailing separator or without.
std::string WithSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder;
    return folder + (toolkit::kHostOs == Os::Windows ? '\\' : '/');
}

void RemoveSlotFiles(const std::string& slotDir, bool keepArmedMarkers) {
    const std::string folder = WithSeparator(slotDir);
    for (const auto& name : toolkit::platform::ListFolder(folder)) {
        if (!IsSlotFileName(name)) continue;
        const std::string path = folder + name;
        if (keepArmedMarkers && name.ends_with(".mark") && MarkerIsArmed(path)) continue;
        toolkit::platform::RemoveFile(path);
    }
}

}  // namespace

SlotFiles SlotFilesFor(Os os, const ToolPaths& paths, std::uint8_t slot) {
    const std::string n = SlotText(slot);
    const char* scriptEnd = os == Os::Windows ? ".bat" : ".sh";
    return {toolkit::ScratchFile(os, paths, n + ".mark"),
            toolkit::ScratchFile(os, paths, "ping" + n + scriptEnd),
            toolkit::ScratchFile(os, paths, "ping" + n + ".txt"),
            toolkit::ScratchFile(os, paths, "ping" + n + ".err"),
            toolkit::ScratchFile(os, paths, "ping" + n + ".lst")};
}

std::string ProcessFolderName(const toolkit::platform::ProcessIdentity& process) {
    return "p" + std::to_string(process.id) + "-" + std::to_string(process.started);
}

std::optional<toolkit::platform::ProcessIdentity> ProcessOfFolder(std::string_view name) {
    const std::size_t dash = name.find('-');
    if (!name.starts_with('p') || dash == std::string_view::npos) return std::nullopt;
    const std::string_view id = name.substr(1, dash - 1), started = name.substr(dash + 1);
    toolkit::platform::ProcessIdentity process;
    for (const auto& [text, value] : {std::pair{id, &process.id}, {started, &process.started}}) {
        if (text.empty() || text.size() > 20 ||
            !std::all_of(text.begin(), text.end(), IsAsciiDigit))
            return std::nullopt;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
        if (error != std::errc()) return std::nullopt;
    }
    if (ProcessFolderName(process) != name) return std::nullopt;  // leading zeros
    return process;
}

ToolPaths SlotPaths() {
    ToolPaths paths = toolkit::HostToolPaths();
    const std::string folder =
        paths.scratchDir + ProcessFolderName(toolkit::platform::ThisProcess());
    if (const int error = toolkit::platform::MakeFolder(folder); error != 0) {
        throw toolkit::ScratchError("Impossible de créer le dossier de travail « " + folder +
                                    " » : " + toolkit::SystemErrorText(error));
    }
    paths.scratchDir = WithSeparator(folder);
    return paths;
}

std::string PollScript(Os os, const ToolPaths& paths, std::string_view listName,
                       std::uint8_t slot) {
    const SlotFiles files = SlotFilesFor(os, paths, slot);
    if (os == Os::Windows) {
        return toolkit::BatchProgram(paths, "hostping.exe") + " " + std::string(listName) + " " +
               BatchPath(files.result) + kCrLf + WindowsMarkerRelease(files.marker);
    }
    return ShellQuote(paths.programDir + "hostping") + " " + ShellQuote(listName) + " " +
           ShellQuote(files.result) + " 2>" + ShellQuote(files.errors) + "\n" + "chmod u+w " +
           ShellQuote(files.marker) + "\n";
}

bool IsSafeHostWord(std::string_view host) {
    if (host.empty() || host.front() == '-') return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '.' || c == '-' || c == '_';
    });
}

std::optional<std::string> CheckScript(Os os, const ToolPaths& paths, std::string_view host,
                                       std::string_view target, std::uint8_t slot) {
    // The POSIX script quotes every word, so any entry name may be the host
    // there; the Windows batch has no safe quoting.
    const bool hostFits = IsSafeHostWord(host) || (os == Os::Posix && IsValidEntryName(host));
    if (!hostFits || !IsSafeHostWord(target)) return std::nullopt;
    // "echo on" and "echo off" would switch the batch's echo, writing nothing.
    if (os == Os::Windows &&
        (toolkit::EqualsIgnoreCase(target, "on") || toolkit::EqualsIgnoreCase(target, "off")))
        return std::nullopt;
    const SlotFiles files = SlotFilesFor(os, paths, slot);
    return os == Os::Windows ? WindowsCheckScript(paths, host, target, files)
                             : PosixCheckScript(paths, host, target, files);
}

// The shell (cmd.exe, /bin/sh) reads these lines: each path is one word.
std::string ScriptCommand(Os os, const std::string& scriptPath) {
    return os == Os::Windows ? toolkit::CmdPath(scriptPath) : "/bin/sh " + ShellQuote(scriptPath);
}

std::string NetsweepCommand(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) return toolkit::CmdPath(paths.programDir + "netsweep.exe");
    return ShellQuote(paths.programDir + "netsweep");
}

TextList PollList(const TextList& managed, const TextList& ipList) {
    TextList lines;
    lines.reserve(managed.size());
    for (const auto& entry : managed) {
        std::string address = toolkit::Trim(FindIP(ipList, entry));
        lines.push_back(address.empty() ? toolkit::Trim(entry) : std::move(address));
    }
    return lines;
}

bool StartsScan(std::uint8_t scanTick) {
    return scanTick % 9 == 1;
}

bool IsSlotFileName(std::string_view name) {
    return HasSlotShape(name, "", ".mark") || HasSlotShape(name, "ping", ".bat") ||
           HasSlotShape(name, "ping", ".sh") || HasSlotShape(name, "ping", ".txt") ||
           HasSlotShape(name, "ping", ".err") || HasSlotShape(name, "ping", ".lst");
}

void ArmMarker(const std::string& path) {
    if (!toolkit::platform::FileExists(path)) toolkit::SaveLines(path, {});
    if (!toolkit::platform::SetReadOnly(path)) {
        throw toolkit::FileError("Impossible de mettre en lecture seule le fichier « " + path +
                                 " ».");
    }
}

bool MarkerIsArmed(const std::string& path) {
    return toolkit::platform::IsReadOnly(path).value_or(true);
}

std::optional<SlotFiles> FinishedSlot(std::uint8_t slot) {
    SlotFiles files;
    try {
        files = SlotFilesFor(toolkit::kHostOs, SlotPaths(), slot);
    } catch (const toolkit::ScratchError&) {
        return std::nullopt;
    }
    if (MarkerIsArmed(files.marker)) return std::nullopt;
    return files;
}

// A read-only marker belongs to a script still running, which will clear it:
// it stays until the next start. Its script and result go like the others.
// POSIX, unlike Windows, deletes read-only files, hence the explicit test.
void CleanSlotFiles(const std::string& slotDir) {
    RemoveSlotFiles(slotDir, true);
}

void CleanOwnSlotFiles() {
    const std::string folder = SlotPaths().scratchDir;
    CleanSlotFiles(folder);
    toolkit::platform::RemoveEmptyFolder(folder);
}

// A script of an ended run still running finds its folder gone; its "chmod"
// (or "attrib") and its result then fail harmlessly. This process's own
// files can only be those of an earlier Korvane of the same process; it
// deletes a slot's old result before it reuses the slot all the same.
void RemoveEarlierRunFiles(const std::string& scratchDir) {
    const std::string folder = WithSeparator(scratchDir);
    const toolkit::platform::ProcessIdentity self = toolkit::platform::ThisProcess();
    for (const auto& name : toolkit::platform::ListFolder(folder)) {
        if (IsSlotFileName(name)) {
            toolkit::platform::RemoveFile(folder + name);
            continue;
        }
        const std::optional<toolkit::platform::ProcessIdentity> owner = ProcessOfFolder(name);
        if (!owner) continue;
        if (*owner == self) {
            RemoveSlotFiles(folder + name, false);
        } else if (!toolkit::platform::ProcessRuns(*owner)) {
            toolkit::platform::RemoveFolderWithFiles(folder + name);
        }
    }
    toolkit::platform::RemoveStaleTemporaries(folder);
}

namespace {

// "SCRIPT: 1: " (dash) or "SCRIPT: line 1: " (bash) before the shell's own complaint.
std::string WithoutScriptPlace(std::string reason, std::string_view script) {
    if (script.empty() || !reason.starts_with(std::string(script) + ":")) return reason;
    std::string_view rest = std::string_view(reason).substr(script.size() + 1);
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    std::string_view place = rest;
    if (place.starts_with("line ")) place.remove_prefix(5);
    const std::size_t digits = std::min(place.find_first_not_of("0123456789"), place.size());
    if (digits > 0 && place.substr(digits).starts_with(":")) rest = place.substr(digits + 1);
    return toolkit::Trim(rest);
}

}  // namespace

std::string ProbeFailureReason(std::string_view errorOutput, std::string_view script) {
    for (const auto& line : toolkit::SplitLines(errorOutput)) {
        std::string reason = line;
        for (char& c : reason) {
            if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
        }
        reason = WithoutScriptPlace(toolkit::Trim(reason), script);
        if (reason.empty()) continue;
        if (reason.size() <= kMaxReasonLength) return reason;
        const std::string ellipsis = "…";
        std::size_t cut = kMaxReasonLength - ellipsis.size();  // back to a character's start
        while (cut > 0 && (static_cast<unsigned char>(reason[cut]) & 0xC0) == 0x80) --cut;
        return reason.substr(0, cut) + ellipsis;
    }
    return {};
}

// Only the start is read: the reason is in the first lines, and the file,
// although ours, must not cost the window more than a glance.
std::string ProbeFailureReasonIn(const std::string& errorFile, std::string_view script) {
    std::ifstream in(errorFile, std::ios::binary);
    std::string start(4096, '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(in.gcount()));
    return ProbeFailureReason(start, script);
}

bool PollProblems::Raise(const std::string& cause, const std::string& message) {
    const auto [known, added] = active_.try_emplace(cause, message);
    if (added) return true;
    if (known->second == message) return false;
    known->second = message;
    return true;
}

std::optional<std::string> PollProblems::Clear(const std::string& cause) {
    const auto known = active_.find(cause);
    if (known == active_.end()) return std::nullopt;
    std::string message = std::move(known->second);
    active_.erase(known);
    return message;
}

TextList LoadStateFile() {
    const std::string path = toolkit::ProgramDir() + "etats";
    if (!toolkit::platform::FileExists(path)) return {};
    try {
        return toolkit::LoadLines(path);
    } catch (const toolkit::FileError&) {
        return {};
    }
}

}  // namespace korvane
