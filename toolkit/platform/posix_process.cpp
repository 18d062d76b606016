// Processes on POSIX: the captured start (waited for) and the detached starts.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform.h"

extern char** environ;

namespace toolkit::platform {

namespace {

// The Windows shell's result codes: above 32 when started, 2 when the file is missing.
constexpr int kShellStarted = 42;
constexpr int kShellFileNotFound = 2;

// Everything the forked child needs, prepared before fork(): in a program
// with threads the child may only make async-signal-safe calls.
struct ExecPlan {
    std::string program;  // full path
    std::vector<std::string> arguments;
    std::string workDir;        // empty: stay in the caller's directory
    bool silenceOutput = true;  // stdout and stderr on /dev/null too
    std::vector<char*> Argv() {
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        return argv;
    }
};

void RedirectToNull(int fd, int nullFd) {
    if (nullFd >= 0 && nullFd != fd) dup2(nullFd, fd);
}

// Runs in the grandchild: prepares its streams and directory, then becomes
// the program. On failure the reason goes back through the pipe.
[[noreturn]] void BecomeProgram(ExecPlan& plan, char** argv, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    const int nullFd = open("/dev/null", O_RDWR);
    RedirectToNull(STDIN_FILENO, nullFd);
    if (plan.silenceOutput) {
        RedirectToNull(STDOUT_FILENO, nullFd);
        RedirectToNull(STDERR_FILENO, nullFd);
    }
    if (nullFd > STDERR_FILENO) close(nullFd);
    if (plan.workDir.empty() || chdir(plan.workDir.c_str()) == 0) {
        execve(plan.program.c_str(), argv, environ);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t ignored = write(reportFd, &error, sizeof error);
    _exit(127);
}

// The middle process of the double fork: it leaves at once, so the program is
// adopted by init (or the session's subreaper), which reaps it. The caller
// waits only for this short-lived process and no zombie remains.
[[noreturn]] void StartGrandchild(ExecPlan& plan, char** argv, int reportFd) {
    setsid();
    const pid_t pid = fork();
    if (pid == 0) BecomeProgram(plan, argv, reportFd);
    if (pid < 0) {
        const int error = errno;
        [[maybe_unused]] const ssize_t ignored = write(reportFd, &error, sizeof error);
    }
    _exit(0);
}

void WaitForExit(pid_t pid, int* status) {
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
}

// The pipe closes on a successful exec (close-on-exec) and carries errno when
// the exec or a step before it failed.
bool ReadStartReport(int readFd) {
    int error = 0;
    ssize_t got;
    do {
        got = read(readFd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == 0;
}

bool StartDetachedPlan(ExecPlan plan) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    std::vector<char*> argv = plan.Argv();
    const pid_t middle = fork();
    if (middle == 0) {
        close(report[0]);
        StartGrandchild(plan, argv.data(), report[1]);
    }
    close(report[1]);
    bool started = false;
    if (middle > 0) {
        started = ReadStartReport(report[0]);
        WaitForExit(middle, nullptr);
    }
    close(report[0]);
    return started;
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// A relative PATH entry names a folder of ours: the program must be the file
// checked here, not one the child finds after moving to its own folder.
std::string FromOurFolder(const std::string& folder) {
    if (folder.starts_with('/')) return folder;
    std::string here(PATH_MAX, '\0');
    if (getcwd(here.data(), here.size()) == nullptr) return folder;
    here.resize(here.find('\0'));
    return here + "/" + folder;
}

// The PATH search of execvp, done before fork so that the child does not need it.
std::string FindOnPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* pathVariable = std::getenv("PATH");
    const std::string path = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = path.find(':', start);
        // An empty PATH entry, the last one included, means the current directory.
        const std::string folder = path.substr(start, colon - start);
        const std::string candidate = FromOurFolder(folder.empty() ? "." : folder) + "/" + program;
        if (IsExecutableFile(candidate)) return candidate;
        if (colon == std::string::npos) return {};
        start = colon + 1;
    }
}

// The captured command starts with a clean signal state whatever the caller
// blocks or ignores (a GUI toolkit may ignore SIGPIPE, which the shell's
// pipelines rely on).
struct SpawnSettings {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool ready = false;

    SpawnSettings() {
        if (posix_spawn_file_actions_init(&actions) != 0) return;
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        sigset_t none, pipe;
        sigemptyset(&none);
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &pipe);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        ready = true;
    }
    ~SpawnSettings() {
        if (!ready) return;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
};

}  // namespace

int RunShellAndWait(const std::string& line, const std::string& workDir) {
    SpawnSettings settings;
    if (!settings.ready ||
        posix_spawn_file_actions_addchdir_np(&settings.actions, workDir.c_str()) != 0) {
        return -1;
    }
    std::string shell = "sh", option = "-c", text = line;
    char* argv[] = {shell.data(), option.data(), text.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", &settings.actions, &settings.attributes, argv, environ) != 0) {
        return -1;
    }
    int status = -1;
    WaitForExit(pid, &status);
    return status;
}

int RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      std::string* output) {
    const std::string path = FindOnPath(program);
    if (path.empty()) return -1;
    SpawnSettings settings;
    int pipeFds[2];
    if (!settings.ready || pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_addopen(&settings.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&settings.actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&settings.actions, pipeFds[1], STDERR_FILENO);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, path.c_str(), &settings.actions, &settings.attributes,
                                     argv.data(), environ) == 0;
    close(pipeFds[1]);
    std::string written;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        // Read to the end whatever the size, so that the program never
        // blocks on a full pipe; only the start is kept.
        if (written.size() < 65536) written.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    if (!started) return -1;
    int status = -1;
    WaitForExit(pid, &status);
    if (output) *output = written.substr(0, 65536);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
}

std::optional<std::string> UserLogonEntry(const std::string&) {
    return std::nullopt;
}

bool SetUserLogonEntry(const std::string&, const std::string&) {
    return false;
}

bool RemoveUserLogonEntry(const std::string&) {
    return true;
}

bool StartShellDetached(const std::string& line) {
    return StartDetachedPlan({"/bin/sh", {"sh", "-c", line}, {}, true});
}

int ShellOpenProgram(const std::string& program, const std::string& argument,
                     const std::string& workDir) {
    const std::string path = FindOnPath(program);
    // A program opened for the user keeps the caller's output streams, so that
    // its complaints reach the same place as ours.
    if (path.empty() || !StartDetachedPlan({path, {program, argument}, workDir, false})) {
        return kShellFileNotFound;
    }
    return kShellStarted;
}

// xdg-open hands the target to the desktop's default application.
int ShellOpenDocument(const std::string& target) {
    return ShellOpenProgram("xdg-open", target, ".");
}

std::string ExecutableDir() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return "./";
    buffer.resize(static_cast<std::size_t>(length));
    return buffer.substr(0, buffer.rfind('/') + 1);
}

namespace {

// The 22nd field of /proc/PID/stat: the clock ticks from the boot to the
// process's start. The second field, the program's name in parentheses, may
// hold blanks and parentheses itself: the fields are counted from its end.
std::optional<std::uint64_t> StartTicksOf(std::uint64_t id) {
    std::ifstream file("/proc/" + std::to_string(id) + "/stat");
    std::ostringstream text;
    text << file.rdbuf();
    const std::string stat = text.str();
    const std::size_t nameEnd = stat.rfind(')');
    if (!file || nameEnd == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index) {
        if (index < 22) continue;
        std::uint64_t ticks = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), ticks);
        if (error != std::errc() || end != field.data() + field.size()) return std::nullopt;
        return ticks;
    }
    return std::nullopt;
}

}  // namespace

ProcessIdentity ThisProcess() {
    const auto id = static_cast<std::uint64_t>(getpid());
    return {id, StartTicksOf(id).value_or(0)};
}

// EPERM means the process exists but is someone else's: it still runs. A
// zombie still has its start time, so its files wait until it is reaped.
bool ProcessRuns(const ProcessIdentity& process) {
    if (process.id == 0 || process.id > static_cast<std::uint64_t>(INT_MAX)) return false;
    const auto pid = static_cast<pid_t>(process.id);
    if (kill(pid, 0) != 0 && errno == ESRCH) return false;
    const std::optional<std::uint64_t> started = StartTicksOf(process.id);
    return !started || *started == process.started;
}

}  // namespace toolkit::platform
