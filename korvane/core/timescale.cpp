#include "korvane/core/timescale.h"

#include <algorithm>
#include <cstdlib>

#include "korvane/core/KrvVar.h"

namespace korvane {

int TimeScale() {
    const char* text = std::getenv(kTimeScaleVariable);
    int scale = 1;
    if (text == nullptr || !ParseWholeNumber(text, scale)) return 1;
    return scale >= 1 && scale <= kMaxTimeScale ? scale : 1;
}

int ScaledInterval(int ms) {
    return std::max(1, ms / TimeScale());
}

}  // namespace korvane
