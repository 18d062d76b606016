// The local clock on POSIX.
#include <ctime>

#include "platform.h"

namespace toolkit::platform {

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

}  // namespace toolkit::platform
