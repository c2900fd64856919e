#include "platform/sim/demo_scenario.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct ClassPlan {
  const plat::GUID* guid;
  const char* idFormat;  // one %06d for the serial
  int phantoms;
  int failEvery;  // every n-th removal fails; 0 for none
  int blank;      // phantoms without a registry key
  int present;
};

const ClassPlan kPlans[] = {
    {&plat::GUID_DEVCLASS_DISKDRIVE, "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C5300%06d&0", 240, 0, 1, 2},
    {&plat::GUID_DEVCLASS_VOLUME, "STORAGE\\VOLUME\\_??_USBSTOR#DISK&VEN_SANDISK&PROD_CRUZER_BLADE#4C5300%06d&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}", 240, 0, 0, 3},
    {&plat::GUID_DEVCLASS_USB, "USB\\VID_0781&PID_5567\\4C5300%06d", 300, 37, 2, 4},
    {&plat::GUID_DEVCLASS_CDROM, "USBSTOR\\CDROM&VEN_GENERIC&PROD_AUTORUN_DISK&REV_1.00\\7&2A3B%06d&0", 110, 25, 0, 1},
    {&plat::GUID_DEVCLASS_SCSIADAPTER, "SCSI\\UASPSTOR&VEN_JMICRON\\%06d", 60, 0, 0, 1},
    {&plat::GUID_DEVCLASS_VOLUMESNAPSHOT, "STORAGE\\VOLUMESNAPSHOT\\HARDDISKVOLUMESNAPSHOT%06d", 80, 0, 0, 0},
};

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// The drives on the demo's desk: USB sticks on a USB 3 and a USB 2 hub, a
// fixed system disk and an empty card-reader slot, which the lists leave out.
void AddDemoDrives(sim::World& world) {
  sim::World::Volume system;
  system.driveType = plat::DRIVE_FIXED;
  system.deviceNumber = 0;
  world.AddVolume('C', system);

  const plat::DEVINST usb3Hub =
      world.AddHub(u"\\\\?\\usb#root_hub30#4&2f1c7a3&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
  const plat::DEVINST usb2Hub =
      world.AddHub(u"\\\\?\\usb#root_hub20#4&19e8b5c2&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
  sim::World::UsbPort emptyPort;  // beside the sticks
  emptyPort.connectionStatus = plat::NoDeviceConnected;
  world.SetHubPort(usb3Hub, 2, emptyPort);
  sim::World::UsbPort usb3Port;
  usb3Port.supportedProtocols = 7;

  sim::World::UsbDrive e;  // a USB 3 stick at USB 3 speed
  e.letters = "E";
  e.deviceNumber = 2;
  e.port = 1;
  e.device = usb3Port;
  e.device.bcdUsb = 0x0300;
  e.serial = u"4C530001230512109165";
  world.AddUsbDrive(usb3Hub, e);

  sim::World::UsbDrive fg;  // two lettered partitions on one stick
  fg.letters = "FG";
  fg.deviceNumber = 3;
  fg.port = 1;
  fg.serial = u"0123ABCD";
  world.AddUsbDrive(usb2Hub, fg);

  sim::World::UsbDrive h;  // a serial string of one character
  h.letters = "H";
  h.deviceNumber = 4;
  h.port = 3;
  h.device = usb3Port;
  h.serial = u"A";
  world.AddUsbDrive(usb3Hub, h);

  sim::World::UsbDrive i;  // a USB 3 stick in a port without USB 3
  i.letters = "I";
  i.deviceNumber = 5;
  i.port = 2;
  i.device.bcdUsb = 0x0210;
  i.serial = u"AA04012700011872";
  world.AddUsbDrive(usb2Hub, i);

  sim::World::UsbDrive j;  // its serial-number request stalls
  j.letters = "J";
  j.deviceNumber = 6;
  j.port = 4;
  j.device = usb3Port;
  j.device.refused[plat::IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION] = 31;  // ERROR_GEN_FAILURE
  world.AddUsbDrive(usb3Hub, j);

  sim::World::Volume cardSlot;  // a reader without a card
  cardSlot.media = false;
  cardSlot.deviceNumber = 7;
  world.AddVolume('K', cardSlot);
}

}  // namespace

void BuildDemoWorld(sim::World& world) {
  std::uint32_t seed = 20261210;
  auto next = [&seed] {  // a fixed sequence: every start shows the same machine
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  const double minAge = std::log(300.0), maxAge = std::log(3.0 * 365 * 86400);
  int serial = 1;
  for (const ClassPlan& plan : kPlans) {
    for (int i = 0; i < plan.phantoms + plan.present; ++i) {
      char id[256];
      std::snprintf(id, sizeof id, plan.idFormat, serial++);
      if (i >= plan.phantoms) {
        world.AddPresent(*plan.guid, Widen(id));
        continue;
      }
      auto age = static_cast<std::int64_t>(std::exp(minAge + (maxAge - minAge) * next()));
      std::size_t index = world.AddPhantom(*plan.guid, Widen(id), age, /*withKey=*/i >= plan.blank);
      if (plan.failEvery && i % plan.failEvery == plan.failEvery - 1)
        world.SetRemoveError(index, plat::ERROR_ACCESS_DENIED);
    }
  }
  AddDemoDrives(world);
}

