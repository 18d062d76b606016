// The ipconfig listing parser on any text: every field is trimmed text of
// one line, and the spare fields stay empty.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "reseau.h"

namespace {

bool IsTrimmedLineText(const std::string& field) {
    if (field.find_first_of("\r\n") != std::string::npos) return false;
    return field.empty() || (static_cast<unsigned char>(field.front()) > 32 &&
                             static_cast<unsigned char>(field.back()) > 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const toolkit::host_params p = toolkit::ParseIpConfig(toolkit::SplitLines(text));
    for (const std::string* field : {&p.description, &p.address, &p.physicalAddress, &p.hostName,
                                     &p.mask, &p.gateway, &p.dhcpServer, &p.dnsServer}) {
        FUZZ_CHECK(IsTrimmedLineText(*field));
    }
    FUZZ_CHECK(p.spare1.empty() && p.spare2.empty());
    return 0;
}
