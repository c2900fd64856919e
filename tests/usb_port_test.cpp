// The walk from a drive letter to its hub port, the requests sent to the
// hub, and the protocol rule the speed test applies.
#include "storage/usb_port.h"

#include <cstring>
#include <string>
#include <vector>

#include "fixture.h"

using namespace plat;

namespace {

const std::u16string kHubPath =
    u"\\\\?\\usb#root_hub20#4&1&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

// E: on port 5 of a USB 2 hub: a USB 3 device at USB 2 speed.
struct Machine {
  DEVINST hub = 0;
  sim::World::UsbDriveNodes drive;
};

Machine Build(sim::World& w) {
  Machine m;
  m.hub = w.AddHub(kHubPath);
  sim::World::UsbDrive d;
  d.letters = "E";
  d.deviceNumber = 3;
  d.port = 5;
  d.device.bcdUsb = 0x0210;
  d.device.supportedProtocols = 3;
  d.serial = u"0123ABCD";
  m.drive = w.AddUsbDrive(m.hub, d);
  return m;
}

template <class T>
T From(const std::vector<BYTE>& bytes) {
  T value{};
  std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
  return value;
}

// A second interface of E's disk node with a path of `units` characters,
// now the only one with the volume's number.
void AddSecondInterface(sim::World& w, const Machine& m, std::size_t units) {
  sim::World::Volume v = w.VolumeAt('E');
  v.deviceNumber = 8;
  w.AddVolume('E', v);
  sim::World::Interface i;
  i.interfaceClass = GUID_DEVINTERFACE_DISK;
  i.node = m.drive.disk;
  i.path = u"\\\\?\\" + std::u16string(units - 4, u'x');  // 4 + 2 * (units + 1) bytes
  i.deviceNumber = 8;
  w.AddInterface(i);
}

// E's port answers as before but refuses one request.
void RefusePort(sim::World& w, const Machine& m, DWORD code) {
  sim::World::UsbPort p;
  p.bcdUsb = 0x0210;
  p.strings[3] = u"0123ABCD";
  p.refused[code] = 31;  // ERROR_GEN_FAILURE: the device stalls
  w.SetHubPort(m.hub, 5, p);
}

void ExpectNothingLeftOpen(const sim::World& w) {
  EXPECT_EQ(w.OpenDeviceInfoSets(), 0);
  EXPECT_EQ(w.OpenIoHandles(), 0);
}

TEST_F(SimTest, ConnectionSpeedSendsTheHubItsThreeRequests) {
  Build(*world);
  ULONG protocols = 99;
  WORD bcd = 0;
  ASSERT_TRUE(QueryUsbConnectionSpeed('E', protocols, bcd));
  EXPECT_EQ(protocols, 3u);
  EXPECT_EQ(bcd, 0x0210);
  EXPECT_TRUE(IsUsb3DeviceInUsb2Port(protocols, bcd));
  ExpectNothingLeftOpen(*world);

  auto requests = world->HubRequests();
  ASSERT_EQ(requests.size(), 3u);
  // The connection record without pipes, zeroed but for the port.
  EXPECT_EQ(requests[0].code, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX);
  ASSERT_EQ(requests[0].in.size(), 35u);
  EXPECT_EQ(requests[0].outSize, 35u);
  auto info = From<USB_NODE_CONNECTION_INFORMATION_EX>(requests[0].in);
  EXPECT_EQ(info.ConnectionIndex, 5u);
  for (std::size_t i = 4; i < 35; ++i) EXPECT_EQ(requests[0].in[i], 0) << i;
  // The serial-number string: a 12-byte header and 2048 zeroed data bytes.
  EXPECT_EQ(requests[1].code, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION);
  ASSERT_EQ(requests[1].in.size(), 2060u);
  EXPECT_EQ(requests[1].outSize, 2060u);
  auto desc = From<USB_DESCRIPTOR_REQUEST>(requests[1].in);
  EXPECT_EQ(desc.ConnectionIndex, 5u);
  EXPECT_EQ(desc.SetupPacket.bmRequest, 0x80);
  EXPECT_EQ(desc.SetupPacket.bRequest, 6);
  EXPECT_EQ(desc.SetupPacket.wValue, 0x0303);  // string descriptor, iSerialNumber 3
  EXPECT_EQ(desc.SetupPacket.wIndex, 0);
  EXPECT_EQ(desc.SetupPacket.wLength, 2048);
  for (std::size_t i = 12; i < 2060; ++i) ASSERT_EQ(requests[1].in[i], 0) << i;
  // The port's protocols, asking about USB 3.
  EXPECT_EQ(requests[2].code, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2);
  ASSERT_EQ(requests[2].in.size(), 16u);
  EXPECT_EQ(requests[2].outSize, 16u);
  auto v2 = From<USB_NODE_CONNECTION_INFORMATION_EX_V2>(requests[2].in);
  EXPECT_EQ(v2.ConnectionIndex, 5u);
  EXPECT_EQ(v2.Length, 16u);
  EXPECT_EQ(v2.SupportedUsbProtocols, 4u);
  EXPECT_EQ(v2.Flags, 0u);

  // Every interface and the hub opened for queries only.
  for (const auto& o : world->FileOpens()) {
    SCOPED_TRACE(std::string(o.path.begin(), o.path.end()));
    EXPECT_EQ(o.access, 0u);
    EXPECT_EQ(o.share, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(o.disposition, OPEN_EXISTING);
    EXPECT_EQ(o.flags, 0u);
  }
  EXPECT_EQ(world->FileOpens().back().path, kHubPath);
}

TEST_F(SimTest, PortWalkFailuresEndInFalseAndLeaveNothingOpen) {
  using Setup = void (*)(sim::World&, const Machine&);
  struct Case {
    const char* name;
    Setup setup;
    bool ok;
  } cases[] = {
      {"volume does not open",
       [](sim::World& w, const Machine&) { w.FailCall("CreateFileA", ERROR_ACCESS_DENIED); },
       false},
      {"volume refuses its number",
       [](sim::World& w, const Machine&) {
         auto v = w.VolumeAt('E');
         v.refused[IOCTL_STORAGE_GET_DEVICE_NUMBER] = ERROR_INVALID_FUNCTION;
         w.AddVolume('E', v);
       },
       false},
      {"fixed drive",
       [](sim::World& w, const Machine&) {
         auto v = w.VolumeAt('E');
         v.driveType = DRIVE_FIXED;
         w.AddVolume('E', v);
       },
       false},
      {"no disk interfaces for the port",
       [](sim::World& w, const Machine&) {
         w.FailCall("SetupDiGetClassDevsW", ERROR_INVALID_PARAMETER);
       },
       false},
      {"no disk interfaces for the node",
       [](sim::World& w, const Machine&) {
         w.FailCall("SetupDiGetClassDevsW", ERROR_INVALID_PARAMETER, 1);
       },
       false},
      {"no hub interfaces",
       [](sim::World& w, const Machine&) {
         w.FailCall("SetupDiGetClassDevsW", ERROR_INVALID_PARAMETER, 2);
       },
       false},
      {"enumeration fails",
       [](sim::World& w, const Machine&) {
         w.FailCall("SetupDiEnumDeviceInterfaces", ERROR_NO_MORE_ITEMS);
       },
       false},
      {"detail size unknown",
       [](sim::World& w, const Machine&) {
         w.FailCall("SetupDiGetDeviceInterfaceDetailW", ERROR_INVALID_PARAMETER);
       },
       false},
      {"detail not read",
       [](sim::World& w, const Machine&) {
         w.FailCall("SetupDiGetDeviceInterfaceDetailW", ERROR_INVALID_PARAMETER, 1);
       },
       false},
      {"disk interface does not open",
       [](sim::World& w, const Machine&) { w.FailCall("CreateFileW", ERROR_ACCESS_DENIED); },
       false},
      {"no parent",
       [](sim::World& w, const Machine&) { w.FailCall("CM_Get_Parent", CR_NO_SUCH_DEVINST); },
       false},
      {"no grandparent",
       [](sim::World& w, const Machine&) { w.FailCall("CM_Get_Parent", CR_NO_SUCH_DEVINST, 1); },
       false},
      {"hub does not open",
       [](sim::World& w, const Machine&) { w.FailCall("CreateFileW", ERROR_ACCESS_DENIED, 2); },
       false},
      {"connection query refused",
       [](sim::World& w, const Machine&) {
         w.FailCall("DeviceIoControl", ERROR_INVALID_FUNCTION, 4);
       },
       false},
      {"descriptor request stalls",
       [](sim::World& w, const Machine& m) {
         RefusePort(w, m, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION);
       },
       false},
      {"protocols refused",
       [](sim::World& w, const Machine& m) {
         RefusePort(w, m, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2);
       },
       false},
      {"a hub on the port",
       [](sim::World& w, const Machine& m) {
         sim::World::UsbPort p;
         p.deviceIsHub = true;
         w.SetHubPort(m.hub, 5, p);
       },
       false},
      {"device failed enumeration",
       [](sim::World& w, const Machine& m) {
         sim::World::UsbPort p;
         p.connectionStatus = 2;
         w.SetHubPort(m.hub, 5, p);
       },
       false},
      {"disk without an address: the hub is asked about port 0",
       [](sim::World& w, const Machine& m) {
         // A second disk node with the same number and no address, found later.
         DEVINST disk = w.AddNode(m.drive.usbDevice, u"USBSTOR\\DISK&VEN_SIM\\NOADDR");
         sim::World::Interface i;
         i.interfaceClass = GUID_DEVINTERFACE_DISK;
         i.node = disk;
         i.path = u"\\\\?\\usbstor#disk&noaddr";
         i.deviceNumber = 3;
         w.AddInterface(i);
       },
       false},
      {"grandparent is no hub",
       [](sim::World& w, const Machine&) {
         DEVINST notHub = w.AddNode(0, u"PCI\\VEN_8086");
         DEVINST usb = w.AddNode(notHub, u"USB\\ORPHAN");
         DEVINST disk = w.AddNode(usb, u"USBSTOR\\ORPHAN", true, 1);
         sim::World::Interface i;
         i.interfaceClass = GUID_DEVINTERFACE_DISK;
         i.node = disk;
         i.path = u"\\\\?\\usbstor#orphan";
         i.deviceNumber = 3;  // found after the real disk: it wins
         w.AddInterface(i);
       },
       false},
      {"detail longer than 1024 bytes",
       [](sim::World& w, const Machine& m) { AddSecondInterface(w, m, 510); }, false},
      {"detail of exactly 1024 bytes",
       [](sim::World& w, const Machine& m) { AddSecondInterface(w, m, 509); }, true},
      // Mended: one disk that refuses its number is skipped, not the end.
      {"another disk refuses its number",
       [](sim::World& w, const Machine&) {
         DEVINST disk = w.AddNode(0, u"SCSI\\VIRTUAL");
         sim::World::Interface i;
         i.interfaceClass = GUID_DEVINTERFACE_DISK;
         i.node = disk;
         i.path = u"\\\\?\\scsi#virtual";
         i.refused[IOCTL_STORAGE_GET_DEVICE_NUMBER] = ERROR_INVALID_FUNCTION;
         w.AddInterface(i);
       },
       true},
      {"another disk does not open",
       [](sim::World& w, const Machine&) {
         sim::World::Interface i;
         i.interfaceClass = GUID_DEVINTERFACE_DISK;
         i.node = w.AddNode(0, u"SCSI\\LOCKED");
         i.path = u"\\\\?\\scsi#locked";
         i.opens = false;
         w.AddInterface(i);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    Machine m = Build(*w);
    c.setup(*w, m);
    ULONG protocols = 99;
    WORD bcd = 0;
    EXPECT_EQ(QueryUsbConnectionSpeed('E', protocols, bcd), c.ok);
    EXPECT_EQ(protocols, c.ok ? 3u : 99u);
    ExpectNothingLeftOpen(*w);
  }
}

TEST_F(SimTest, ADiskWithoutAnAddressSendsTheHubToPortZero) {
  Machine m = Build(*world);
  DEVINST disk = world->AddNode(m.drive.usbDevice, u"USBSTOR\\DISK&VEN_SIM\\NOADDR");
  sim::World::Interface i;
  i.interfaceClass = GUID_DEVINTERFACE_DISK;
  i.node = disk;
  i.path = u"\\\\?\\usbstor#disk&noaddr";
  i.deviceNumber = 3;
  world->AddInterface(i);
  UniqueFile hub;
  ULONG port = 99;
  ASSERT_TRUE(LocateUsbPort('E', hub, port));
  EXPECT_EQ(port, 0u);
  WORD bcd = 0;
  std::u16string serial;
  EXPECT_FALSE(QueryHubPort(hub.get(), port, bcd, serial));  // the hub has no port 0
  ASSERT_EQ(world->HubRequests().size(), 1u);
  EXPECT_EQ(From<ULONG>(world->HubRequests()[0].in), 0u);
  hub.reset();
  ExpectNothingLeftOpen(*world);
}

TEST_F(SimTest, TheLastDiskWithTheVolumesNumberGivesThePort) {
  Machine m = Build(*world);
  DEVINST disk = world->AddNode(m.drive.usbDevice, u"USBSTOR\\DISK&VEN_SIM\\LATER", true, 7);
  sim::World::Interface i;
  i.interfaceClass = GUID_DEVINTERFACE_DISK;
  i.node = disk;
  i.path = u"\\\\?\\usbstor#disk&later";
  i.deviceNumber = 3;
  world->AddInterface(i);
  ULONG port = 0;
  ASSERT_TRUE(FindUsbPortNumber('E', port));
  EXPECT_EQ(port, 7u);
  DEVINST node = 0;
  ASSERT_TRUE(FindVolumeDevInst('E', node));
  EXPECT_EQ(node, disk);
  ExpectNothingLeftOpen(*world);
}

TEST_F(SimTest, ACdRomDriveIsFoundAmongCdRomInterfaces) {
  DEVINST hub = world->AddHub(kHubPath);
  sim::World::UsbDrive d;
  d.letters = "D";
  d.deviceNumber = 0;
  d.driveType = DRIVE_CDROM;
  d.port = 2;
  auto nodes = world->AddUsbDrive(hub, d);
  DEVINST node = 0;
  ASSERT_TRUE(FindVolumeDevInst('D', node));
  EXPECT_EQ(node, nodes.disk);
  // The port is looked up among disks only, whatever the drive.
  ULONG port = 99;
  EXPECT_FALSE(FindUsbPortNumber('D', port));
  EXPECT_EQ(port, 99u);
  ExpectNothingLeftOpen(*world);
}

TEST_F(SimTest, APortWithoutADeviceStillGivesItsProtocols) {
  Machine m = Build(*world);
  sim::World::UsbPort empty;
  empty.connectionStatus = NoDeviceConnected;
  empty.supportedProtocols = 7;
  world->SetHubPort(m.hub, 5, empty);
  ULONG protocols = 0;
  WORD bcd = 0x1234;
  ASSERT_TRUE(QueryUsbConnectionSpeed('E', protocols, bcd));
  EXPECT_EQ(protocols, 7u);
  EXPECT_EQ(bcd, 0x1234);                      // untouched
  EXPECT_EQ(world->HubRequests().size(), 2u);  // no descriptor request
  ExpectNothingLeftOpen(*world);
}

TEST(UsbPortRule, WarnsOnlyForAUsb3DeviceAtUsb2SpeedInAPortWithoutUsb3) {
  struct Case {
    ULONG protocols;
    WORD bcd;
    bool warns;
  } cases[] = {
      {3, 0x0210, true}, {7, 0x0210, false}, {3, 0x0200, false}, {3, 0x0300, false},
      {0, 0x0210, true}, {4, 0x0210, false}, {1, 0x0110, false}, {3, 0x0211, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsUsb3DeviceInUsb2Port(c.protocols, c.bcd), c.warns) << c.protocols << " " << c.bcd;
}

}  // namespace
