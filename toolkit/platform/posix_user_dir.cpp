#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform.h"

namespace toolkit::platform {

namespace {

namespace fs = std::filesystem;

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
    // A session without HOME (a service, su without -) still has a passwd entry.
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return {};
}

// A relative XDG_DATA_HOME is ignored, as the freedesktop base directories say.
std::string DataHome() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        return data;
    }
    const std::string home = HomeDir();
    return home.empty() ? std::string() : home + "/.local/share";
}

// A link of ours is re-pointed when the installation moved; anything else of
// that name is the user's and stays.
void LinkInstalledFile(const fs::path& target, const fs::path& link) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(link, error);
    if (fs::exists(status)) {
        if (!fs::is_symlink(status) || fs::read_symlink(link, error) == target) return;
        fs::remove(link, error);
    }
    fs::create_symlink(target, link, error);
}

}  // namespace

std::string UserProgramDir(const std::string& installedDir) {
    std::error_code error;
    if (!fs::exists(fs::path(installedDir) / kPerUserMarker, error)) return installedDir;
    const std::string dataHome = DataHome();
    if (dataHome.empty()) return installedDir;
    const fs::path folder = fs::path(dataHome) / "korvane";
    fs::create_directories(dataHome, error);
    // Lists and shutdown.auth are nobody else's business.
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return folder.string() + "/";
    for (const fs::directory_entry& entry : fs::directory_iterator(installedDir, error)) {
        const std::string name = entry.path().filename().string();
        if (name == kPerUserMarker || name.front() == '.') continue;
        LinkInstalledFile(entry.path(), folder / name);
    }
    return folder.string() + "/";
}

}  // namespace toolkit::platform
