// krv.ini and the inventory look-ups on any text: the first line is the
// name or address looked up, the rest the file. Settings written back read
// back the same; the map's divisor stays positive; look-ups stay in bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "korvane/core/KrvVar.h"
#include "check.h"

namespace {

bool SameSettings(const korvane::Settings& a, const korvane::Settings& b) {
    return a.pdc == b.pdc && a.esu == b.esu && a.left == b.left && a.top == b.top &&
           a.height == b.height && a.nbyrow == b.nbyrow;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    toolkit::TextList lines = toolkit::SplitLines(text);
    const korvane::Settings settings = korvane::ParseSettings(lines);
    FUZZ_CHECK(settings.nbyrow >= 1);
    const toolkit::TextList saved = korvane::SettingsLines(settings);
    FUZZ_CHECK(saved.size() == 6);
    FUZZ_CHECK(SameSettings(korvane::ParseSettings(saved), settings));

    if (lines.empty()) return 0;
    const std::string key = lines.front();
    lines.erase(lines.begin());
    for (const std::string& found : {korvane::FindIP(lines, key), korvane::FindMAC(lines, key),
                                     korvane::FindName(lines, key)}) {
        FUZZ_CHECK(found.size() <= toolkit::kMaxFieldLength);
    }
    FUZZ_CHECK(korvane::FindName(lines, key).find(' ') == std::string::npos);
    return 0;
}
