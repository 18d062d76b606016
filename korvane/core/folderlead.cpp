#include "korvane/core/folderlead.h"

#include "platform/append.h"

namespace korvane {

bool TakeFolderLead(const std::string& programDir) {
    return toolkit::platform::HoldLock(programDir + kLeadLockFile);
}

}  // namespace korvane
