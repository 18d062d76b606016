// Who holds an entry's address, on tables made up here, and how Korvane says
// that another device took it.
#include "korvane/core/addressholder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using toolkit::platform::NeighbourRow;

NeighbourRow Row(std::uint8_t lastByte, std::uint8_t lastMac, bool resolved = true) {
    const std::uint8_t bytes[] = {10, 0, 0, lastByte};
    std::uint32_t address = 0;
    std::memcpy(&address, bytes, sizeof address);
    return {address, {0x02, 0x4b, 0x52, 0x00, 0x00, lastMac}, resolved, std::chrono::seconds(1)};
}

// pc1 (MAC ..11) is listed at .11, which ..16 now holds; pc1 itself is seen
// at .16. .12 holds its own entry's MAC; .13 is still being resolved.
TEST(AddressHolder, AnotherMacAtTheAddressIsFoundAndToldWithBothMacs) {
    const toolkit::NeighbourSnapshot table(
        {{Row(11, 0x16), Row(16, 0x11), Row(12, 0x12), Row(13, 0x13, false)}});
    const struct {
        const char* mac;
        const char* address;
        bool taken;
    } cases[] = {
        {"02-4B-52-00-00-11", "10.0.0.11", true},  {"02:4b:52:00:00:11", " 10.0.0.11 ", true},
        {"02-4B-52-00-00-12", "10.0.0.12", false}, {"02-4B-52-00-00-99", "10.0.0.13", false},
        {"02-4B-52-00-00-99", "10.0.0.40", false}, {"", "10.0.0.11", false},
        {"pas une MAC", "10.0.0.11", false},       {"02-4B-52-00-00-11", "pc1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(korvane::FindOtherHolder(c.mac, c.address, table).has_value(), c.taken)
            << c.mac << " " << c.address;
    }
    auto holder = korvane::FindOtherHolder("02:4b:52:00:00:11", "10.0.0.11", table);
    ASSERT_TRUE(holder);
    EXPECT_EQ(*holder, (korvane::OtherHolder{
                           "10.0.0.11", "02-4B-52-00-00-11", "02-4B-52-00-00-16", {"10.0.0.16"}}));
    EXPECT_EQ(korvane::AddressTakenHint(*holder),
              "adresse occupée par un autre appareil (MAC 02-4B-52-00-00-16 au lieu de "
              "02-4B-52-00-00-11)");
    EXPECT_EQ(korvane::AddressTakenRefusal("Arrêt de ", "pc1", *holder),
              "Arrêt de « pc1 » refusé : l'adresse 10.0.0.11 est occupée par un autre appareil "
              "(MAC 02-4B-52-00-00-16) ; celle de « pc1 » est 02-4B-52-00-00-11 (liste.mac). "
              "« pc1 » est vu à l'adresse 10.0.0.16. Rien n'a été envoyé ; la recherche du "
              "réseau mettra les listes à jour.");
    holder->entrySeenAt.clear();
    EXPECT_EQ(korvane::AddressTakenNotice("pc1", *holder),
              "« pc1 » : adresse occupée par un autre appareil à l'adresse 10.0.0.11 (MAC "
              "02-4B-52-00-00-16, celle de « pc1 » est 02-4B-52-00-00-11). Recherche du réseau "
              "lancée pour mettre les listes à jour.");
}

}  // namespace
