// netsweep's record of the devices it saw (liste.appareils) on any text:
// what is read writes back and reads back the same, keys stay unique, and a
// run that sees every device again, some at another address, keeps them all.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "check.h"
#include "devices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    toolkit::DeviceRecord record = toolkit::ParseDeviceRecord(toolkit::SplitLines(text));
    const toolkit::TextList lines = toolkit::DeviceRecordLines(record);
    FUZZ_CHECK(lines.size() == record.devices.size() + 3);
    FUZZ_CHECK(toolkit::ParseDeviceRecord(lines) == record);
    std::set<std::string> keys;
    std::vector<toolkit::Sighting> sightings;
    for (const toolkit::Device& device : record.devices) {
        FUZZ_CHECK(keys.insert(device.mac.empty() ? device.address : device.mac).second);
        FUZZ_CHECK(device.firstSeen <= device.lastSeen);
        sightings.push_back({device.address, device.mac, "", sightings.size() % 2 == 0, true});
    }
    const std::size_t before = record.devices.size();
    const std::int64_t now = record.lastSweep.value_or(0) + 600;
    const std::int64_t runTime = toolkit::MergeSightings(record, sightings, now, true);
    FUZZ_CHECK(record.lastSweep == runTime);
    FUZZ_CHECK(record.devices.size() <= before);
    for (const toolkit::Device& device : record.devices) FUZZ_CHECK(device.lastSeen <= runTime);
    return 0;
}
