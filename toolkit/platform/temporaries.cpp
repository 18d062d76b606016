#include "platform/temporaries.h"

#include <atomic>
#include <charconv>
#include <string_view>

namespace toolkit::platform {

// The leading dot keeps the temporary out of ordinary listings while it exists.
// Both separators end a folder: Windows paths may hold either.
std::string TemporaryNameFor(const std::string& path, std::int64_t pid) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + base + ".tmp-" + std::to_string(pid) + "-" +
           std::to_string(counter.fetch_add(1));
}

std::int64_t TemporaryWriter(const std::string& name) {
    const std::size_t dash = name.rfind('-');
    if (name.size() < 2 || name[0] != '.' || dash == std::string::npos || dash == 0) return 0;
    const std::size_t tag = name.rfind(".tmp-", dash - 1);
    if (tag == std::string::npos || tag < 2 || tag + 5 >= dash || dash + 1 >= name.size()) return 0;
    const auto isNumber = [](std::string_view text) {
        return text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const std::string_view counter(name.data() + dash + 1, name.size() - dash - 1);
    const std::string_view pidText(name.data() + tag + 5, dash - tag - 5);
    std::int64_t pid = 0;
    const auto [end, error] = std::from_chars(pidText.begin(), pidText.end(), pid);
    if (!isNumber(counter) || !isNumber(pidText) || error != std::errc() || end != pidText.end()) {
        return 0;
    }
    return pid;
}

}  // namespace toolkit::platform
