#include "layout.h"

namespace netcmd {
namespace {

std::string Hex(std::uint8_t value, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    return {digits[value >> 4], digits[value & 0x0F]};
}

}  // namespace

std::string PadRight(std::string_view text, std::size_t width) {
    std::string padded(text);
    if (padded.size() < width) padded.append(width - padded.size(), ' ');
    return padded;
}

std::string FormatHardwareAddress(std::span<const std::uint8_t> bytes, bool upperCase,
                                  char separator) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) text.push_back(separator);
        text += Hex(byte, upperCase);
    }
    return text;
}

std::string HexByte(std::uint8_t value) {
    return Hex(value, true);
}

std::string PrintableField(std::string_view text) {
    std::string clean(text);
    for (char& c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '_';
    }
    return clean;
}

}  // namespace netcmd
