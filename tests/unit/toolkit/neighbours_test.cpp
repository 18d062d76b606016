// The neighbour table's questions above the platform layer, on tables made
// up here: which hardware address holds an address, where a hardware address
// is seen.
#include "neighbours.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using toolkit::NeighbourSnapshot;
using toolkit::platform::NeighbourRow;

std::uint32_t Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[] = {a, b, c, d};
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

NeighbourRow Row(std::uint32_t address, std::uint8_t last, bool resolved = true) {
    return {address, {0x02, 0x4b, 0x52, 0x00, 0x00, last}, resolved, std::chrono::seconds(3)};
}

// A computer moved from .11 to .12 and another took .11 (its row still
// knows the old holder until refreshed, which is not this code's concern);
// .13 is being resolved; .14 failed.
TEST(NeighbourSnapshot, NamesTheHardwareAddressOfEachAddressAndWhereEachIsSeen) {
    const NeighbourSnapshot table(
        {{Row(Address(192, 168, 1, 11), 0x11), Row(Address(192, 168, 1, 12), 0x11),
          Row(Address(192, 168, 1, 1), 0xab), Row(Address(192, 168, 1, 13), 0x13, false),
          Row(Address(192, 168, 1, 14), 0x00, false)}});
    ASSERT_TRUE(table.Readable());
    const struct {
        const char* address;
        std::optional<std::string> mac;
    } holders[] = {
        {"192.168.1.11", "02-4B-52-00-00-11"}, {"192.168.1.1", "02-4B-52-00-00-AB"},
        {"192.168.1.13", std::nullopt},        {"192.168.1.14", std::nullopt},
        {"192.168.1.99", std::nullopt},        {"pc1", std::nullopt},
        {"192.168.1.011", std::nullopt},       {"", std::nullopt},
    };
    for (const auto& h : holders) EXPECT_EQ(table.MacOf(h.address), h.mac) << h.address;

    const std::vector<std::string> both = {"192.168.1.11", "192.168.1.12"};
    const struct {
        const char* mac;
        std::vector<std::string> addresses;
    } seen[] = {
        {"02-4B-52-00-00-11", both}, {"02:4b:52:00:00:11", both},
        {"024B52000011", both},      {"02-4b-52-00-00-ab", {"192.168.1.1"}},
        {"02-4B-52-00-00-13", {}},   {"02-4B-52-00-00-99", {}},
        {"02-4B-52-00-00", {}},      {"", {}},
    };
    for (const auto& s : seen) EXPECT_EQ(table.AddressesOf(s.mac), s.addresses) << s.mac;

    const NeighbourSnapshot unreadable(std::nullopt);
    EXPECT_FALSE(unreadable.Readable());
    EXPECT_EQ(unreadable.MacOf("192.168.1.11"), std::nullopt);
    EXPECT_TRUE(unreadable.AddressesOf("02-4B-52-00-00-11").empty());
}

}  // namespace
