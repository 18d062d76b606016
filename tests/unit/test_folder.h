// Helpers shared by the unit tests: a private temporary folder, an
// environment variable set for one test, small file readers, a FIFO feeder.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "tools.h"

namespace testing_support {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets (or unsets, with nullopt) an environment variable until the end of the scope.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
        if (const char* old = getenv(name_.c_str())) old_ = old;
        Apply(value);
    }
    ~ScopedEnv() { Apply(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Apply(const std::optional<std::string>& value) {
        if (value) {
            setenv(name_.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    std::string name_;
    std::optional<std::string> old_;
};

// Points the program folder elsewhere until the end of the scope.
class ScopedProgramDir {
  public:
    explicit ScopedProgramDir(const std::string& dir) : previous_(toolkit::ProgramDir()) {
        toolkit::SetProgramDir(dir);
    }
    ~ScopedProgramDir() { toolkit::SetProgramDir(previous_); }
    ScopedProgramDir(const ScopedProgramDir&) = delete;
    ScopedProgramDir& operator=(const ScopedProgramDir&) = delete;

  private:
    std::string previous_;
};

// A process id that no process holds any more.
inline pid_t GonePid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Opens the FIFO's writing end as soon as a reader waits on it, so that a
// reader that does wait gets a line instead of hanging the test.
class FifoFeeder {
  public:
    explicit FifoFeeder(std::string fifo)
        : thread_([this, fifo = std::move(fifo)] {
              while (!stop_) {
                  const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (fd >= 0) {
                      static_cast<void>(write(fd, "x\n", 2));
                      close(fd);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          }) {}
    ~FifoFeeder() {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace testing_support
