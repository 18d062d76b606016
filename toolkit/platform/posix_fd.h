// A file descriptor closed at the end of its scope. POSIX only; for the
// platform files and the tools' *_linux.cpp files.
#pragma once

#include <unistd.h>

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

  private:
    int fd_;
};

}  // namespace toolkit::platform
