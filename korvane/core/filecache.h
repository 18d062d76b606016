// A file read once per change: the map's redraws and the plan's looks ask for
// the plan and the protected list many times a minute, and each is read
// again only after its file changed.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace korvane {

template <typename Value>
class FileCache {
  public:
    // The value of the file at `path`: `load` reads it the first time, and
    // again only when the path or the file's stamp (size, last write,
    // identity; a missing file is a stamp too) differs from the last read's.
    // A load that throws keeps nothing: the next call reads again.
    const Value& Get(const std::string& path, const std::function<Value()>& load) {
        // Taken before the read: a change during it is seen at the next call.
        const auto stamp = toolkit::platform::StampOf(path);
        if (!value_ || path != path_ || stamp != stamp_) {
            value_.reset();
            value_ = load();
            path_ = path;
            stamp_ = stamp;
        }
        return *value_;
    }

  private:
    std::string path_;
    std::optional<toolkit::platform::FileStamp> stamp_;
    std::optional<Value> value_;
};

}  // namespace korvane
