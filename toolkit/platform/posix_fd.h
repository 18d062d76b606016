// A file descriptor closed at the end of its scope. POSIX only; for the
// platform files and the tools' *_linux.cpp files.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace toolkit::platform {

class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) close(fd_);
    }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd& operator=(UniqueFd&&) = delete;
    int Fd() const { return fd_; }
    // The descriptor, no longer closed here.
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// "c'est un dossier, pas un fichier ordinaire": what a path whose mode this
// is holds instead of a plain file, for a French refusal.
std::string NotRegularText(mode_t mode);

}  // namespace toolkit::platform
