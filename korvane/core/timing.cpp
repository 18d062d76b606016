#include "timing.h"

#include <algorithm>
#include <cstdlib>

#include "KrvVar.h"

namespace korvane {

int ScaledInterval(int ms) {
    const char* text = std::getenv(kTimeScaleVariable);
    int scale = 0;
    if (text == nullptr || !ParseWholeNumber(text, scale) || scale < 1) return ms;
    return std::max(1, ms / scale);
}

}  // namespace korvane
