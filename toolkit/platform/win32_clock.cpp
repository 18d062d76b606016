// The local clock on Windows.
#include <ctime>

#include "platform.h"

namespace toolkit::platform {

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

}  // namespace toolkit::platform
