#include <gtest/gtest.h>

#include <string>

#include "Platform/Host/Devices/MarkerPort.h"

namespace zarn::host {
namespace {

TEST(MarkerPortTest, RecordsDeadLoopMarkersAndTheirBytes) {
  IoBus bus;
  MarkerPort marker;
  attachMarkerPort(bus, marker);
  bus.write(0xE8, 4, 0x4C6F6F70);
  bus.write(0xEA, 1, 0x21);
  bus.write(0xE8, 4, 0x4C456E64);
  EXPECT_EQ(marker.values32(), (std::vector<uint32_t>{0x4C6F6F70, 0x4C456E64}));
  const std::vector<uint8_t> bytes = marker.bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "pooL!dnEL");
  EXPECT_EQ(marker.writes()[1], (MarkerPort::Write{0xEA, 1, 0x21}));
}

TEST(MarkerPortTest, AccessesThePortDoesNotHave) {
  IoBus bus;
  MarkerPort marker;
  attachMarkerPort(bus, marker);
  EXPECT_THROW(bus.read(0xE8, 4), DeviceError);
  EXPECT_THROW(bus.read(0xE9, 1), DeviceError);
  EXPECT_THROW(bus.write(0xE9, 2, 0), DeviceError);
  EXPECT_THROW(marker.write(1, 4, 0), DeviceError);
  EXPECT_TRUE(marker.writes().empty());
}

}  // namespace
}  // namespace zarn::host
