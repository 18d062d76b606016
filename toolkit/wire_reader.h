// A bounds-checked reader of a datagram's bytes, big-endian, for the NetBIOS
// packets that the toolkit and netcmd both read, and the writer's one call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace toolkit {

inline void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// Every read is checked against what is left; a failed read leaves the
// reader unusable, so one test at the end of a sequence of reads suffices.
class WireReader {
  public:
    explicit WireReader(std::span<const std::uint8_t> data) : data_(data) {}

    bool Ok() const { return ok_; }
    std::size_t Remaining() const { return ok_ ? data_.size() - pos_ : 0; }

    std::uint8_t U8() {
        std::uint8_t value = 0;
        if (Need(1)) value = data_[pos_++];
        return value;
    }
    std::uint16_t U16() {
        const std::uint8_t high = U8();
        const std::uint8_t low = U8();
        return static_cast<std::uint16_t>((high << 8) | low);
    }
    std::span<const std::uint8_t> Take(std::size_t count) {
        if (!Need(count)) return {};
        const auto part = data_.subspan(pos_, count);
        pos_ += count;
        return part;
    }
    void Fail() { ok_ = false; }

  private:
    bool Need(std::size_t count) {
        if (ok_ && data_.size() - pos_ < count) ok_ = false;
        return ok_;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace toolkit
