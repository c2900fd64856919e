// Volumes, device interfaces and hubs of the simulated world: what a drive
// letter lists as, and what "\\.\X:", a disk or CD-ROM interface and a hub
// answer to their control codes.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_impl.h"

namespace sim {

using namespace plat;

namespace {

World::Impl& W() { return Current().impl(); }

char UpperLetter(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  return c >= 'A' && c <= 'Z' ? c : 0;
}

char16_t LowerUnit(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool SameText(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return LowerUnit(x) == LowerUnit(y); });
}

bool Refused(const std::map<DWORD, DWORD>& refused, DWORD code, DWORD& error) {
  auto it = refused.find(code);
  if (it == refused.end()) return false;
  error = it->second;
  return true;
}

bool AnswerDeviceNumber(DWORD deviceType, DWORD deviceNumber, void* out, DWORD outSize,
                        DWORD* returned, DWORD& error) {
  if (!out || outSize < sizeof(STORAGE_DEVICE_NUMBER)) {
    error = ERROR_INSUFFICIENT_BUFFER;
    return false;
  }
  STORAGE_DEVICE_NUMBER number{deviceType, deviceNumber, 1};
  std::memcpy(out, &number, sizeof number);
  *returned = sizeof number;
  return true;
}

class VolumeObject : public IoObject {
 public:
  VolumeObject(const World::Volume& volume, DWORD access) : volume_(volume), access_(access) {}
  bool Control(DWORD code, const void*, DWORD, void* out, DWORD outSize, DWORD* returned,
               DWORD& error) override {
    if (Refused(volume_.refused, code, error)) return false;
    if (code == IOCTL_STORAGE_CHECK_VERIFY) {
      // The platform wants read access for the media check.
      if (!(access_ & (FILE_READ_DATA | GENERIC_READ))) {
        error = ERROR_ACCESS_DENIED;
        return false;
      }
      if (!volume_.media) {
        error = ERROR_NOT_READY;
        return false;
      }
      return true;
    }
    if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER)
      return AnswerDeviceNumber(volume_.deviceType, volume_.deviceNumber, out, outSize, returned,
                                error);
    error = ERROR_INVALID_FUNCTION;
    return false;
  }

 private:
  World::Volume volume_;
  DWORD access_;
};

class InterfaceObject : public IoObject {
 public:
  explicit InterfaceObject(const World::Interface& iface) : iface_(iface) {}
  bool Control(DWORD code, const void*, DWORD, void* out, DWORD outSize, DWORD* returned,
               DWORD& error) override {
    if (Refused(iface_.refused, code, error)) return false;
    if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER)
      return AnswerDeviceNumber(iface_.deviceType, iface_.deviceNumber, out, outSize, returned,
                                error);
    error = ERROR_INVALID_FUNCTION;
    return false;
  }

 private:
  World::Interface iface_;
};

constexpr DWORD ERROR_GEN_FAILURE = 31;

class HubObject : public IoObject {
 public:
  explicit HubObject(DEVINST hub) : hub_(hub) {}
  bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
               DWORD& error) override {
    World::Impl& w = W();
    World::UsbPort port;
    {
      std::lock_guard<std::mutex> lock(w.mu);
      const auto* bytes = static_cast<const BYTE*>(in);
      w.hubRequests.push_back(
          {code, bytes ? std::vector<BYTE>(bytes, bytes + inSize) : std::vector<BYTE>(), outSize});
      ULONG index = 0;
      if (!in || inSize < sizeof index || !out) {
        error = ERROR_INVALID_PARAMETER;
        return false;
      }
      std::memcpy(&index, in, sizeof index);
      const Hub& hub = w.hubs[hub_];
      auto it = hub.ports.find(index);
      if (it == hub.ports.end()) {  // no such connection index
        error = ERROR_INVALID_PARAMETER;
        return false;
      }
      port = it->second;
    }
    if (Refused(port.refused, code, error)) return false;
    switch (code) {
      case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
        return ConnectionInfo(port, in, inSize, out, outSize, returned, error);
      case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION:
        return Descriptor(port, in, inSize, out, outSize, returned, error);
      case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2:
        return Protocols(port, in, inSize, out, outSize, returned, error);
      default: error = ERROR_INVALID_FUNCTION; return false;
    }
  }

 private:
  static bool ConnectionInfo(const World::UsbPort& port, const void* in, DWORD inSize, void* out,
                             DWORD outSize, DWORD* returned, DWORD& error) {
    if (inSize < sizeof(USB_NODE_CONNECTION_INFORMATION_EX) ||
        outSize < sizeof(USB_NODE_CONNECTION_INFORMATION_EX)) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return false;
    }
    USB_NODE_CONNECTION_INFORMATION_EX info{};
    std::memcpy(&info.ConnectionIndex, in, sizeof info.ConnectionIndex);
    info.ConnectionStatus = port.connectionStatus;
    if (port.connectionStatus != NoDeviceConnected) {
      info.DeviceDescriptor.bLength = 18;
      info.DeviceDescriptor.bDescriptorType = 1;
      info.DeviceDescriptor.bcdUSB = port.bcdUsb;
      info.DeviceDescriptor.iSerialNumber = port.iSerialNumber;
      info.DeviceIsHub = port.deviceIsHub ? 1 : 0;
    }
    std::memcpy(out, &info, sizeof info);
    *returned = sizeof info;
    return true;
  }

  static bool Descriptor(const World::UsbPort& port, const void* in, DWORD inSize, void* out,
                         DWORD outSize, DWORD* returned, DWORD& error) {
    USB_DESCRIPTOR_REQUEST request{};
    if (inSize < sizeof request || outSize < sizeof request) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return false;
    }
    std::memcpy(&request, in, sizeof request);
    auto it = port.strings.find(static_cast<BYTE>(request.SetupPacket.wValue & 0xFF));
    if ((request.SetupPacket.wValue >> 8) != USB_STRING_DESCRIPTOR_TYPE ||
        port.connectionStatus != DeviceConnected || it == port.strings.end()) {
      error = ERROR_GEN_FAILURE;  // the device stalls the request
      return false;
    }
    // Length and type bytes, then as many units as the request leaves room for.
    std::vector<BYTE> descriptor{0, USB_STRING_DESCRIPTOR_TYPE};
    for (char16_t unit : it->second) {
      descriptor.push_back(static_cast<BYTE>(unit & 0xFF));
      descriptor.push_back(static_cast<BYTE>(unit >> 8));
    }
    descriptor[0] = static_cast<BYTE>(std::min<std::size_t>(descriptor.size(), 255));
    std::size_t room = std::min<std::size_t>(request.SetupPacket.wLength, outSize - sizeof request);
    std::size_t n = std::min(room, descriptor.size());
    auto* bytes = static_cast<BYTE*>(out);
    std::memcpy(bytes, &request, sizeof request);
    std::memcpy(bytes + sizeof request, descriptor.data(), n);
    *returned = static_cast<DWORD>(sizeof request + n);
    return true;
  }

  static bool Protocols(const World::UsbPort& port, const void* in, DWORD inSize, void* out,
                        DWORD outSize, DWORD* returned, DWORD& error) {
    USB_NODE_CONNECTION_INFORMATION_EX_V2 info{};
    if (inSize < sizeof info || outSize < sizeof info) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return false;
    }
    std::memcpy(&info, in, sizeof info);
    if (info.Length != sizeof info) {
      error = ERROR_INVALID_PARAMETER;
      return false;
    }
    info.SupportedUsbProtocols = port.supportedProtocols;
    info.Flags = 0;
    std::memcpy(out, &info, sizeof info);
    *returned = sizeof info;
    return true;
  }

  DEVINST hub_;
};

}  // namespace

// ---- The world's side ----

void World::AddVolume(char letter, const Volume& volume) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->volumes[UpperLetter(letter)] = volume;
}

void World::RemoveVolume(char letter) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->volumes.erase(UpperLetter(letter));
}

World::Volume World::VolumeAt(char letter) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->volumes.at(UpperLetter(letter));
}

DEVINST World::AddNode(DEVINST parent, const std::u16string& instanceId, bool hasAddress,
                       DWORD address) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->nodes.push_back({parent, instanceId, hasAddress, address});
  return Impl::kFirstNode + static_cast<DEVINST>(impl_->nodes.size() - 1);
}

void World::AddInterface(const Interface& iface) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->interfaces.push_back(iface);
}

DEVINST World::AddHub(const std::u16string& path, DEVINST parent) {
  DEVINST hub =
      AddNode(parent, u"USB\\ROOT_HUB30\\" + path.substr(path.size() > 8 ? path.size() - 8 : 0));
  Interface iface;
  iface.interfaceClass = GUID_DEVINTERFACE_USB_HUB;
  iface.node = hub;
  iface.path = path;
  AddInterface(iface);
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->hubs[hub];
  return hub;
}

void World::SetHubPort(DEVINST hub, DWORD port, const UsbPort& answers) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->hubs[hub].ports[port] = answers;
}

World::UsbDriveNodes World::AddUsbDrive(DEVINST hub, const UsbDrive& drive) {
  const bool cdrom = drive.driveType == DRIVE_CDROM;
  const std::u16string number = [&] {
    std::string s = std::to_string(drive.deviceNumber);
    return std::u16string(s.begin(), s.end());
  }();
  UsbDriveNodes nodes;
  nodes.usbDevice = AddNode(hub, u"USB\\VID_0781&PID_5581\\SIM" + number);
  nodes.disk = AddNode(nodes.usbDevice,
                       (cdrom ? u"USBSTOR\\CDROM&VEN_SIM\\" : u"USBSTOR\\DISK&VEN_SIM\\") + number,
                       true, drive.port);
  Interface iface;
  iface.interfaceClass = cdrom ? GUID_DEVINTERFACE_CDROM : GUID_DEVINTERFACE_DISK;
  iface.node = nodes.disk;
  iface.deviceType = cdrom ? FILE_DEVICE_CD_ROM : FILE_DEVICE_DISK;
  iface.deviceNumber = drive.deviceNumber;
  iface.path = u"\\\\?\\usbstor#" + std::u16string(cdrom ? u"cdrom" : u"disk") + u"&ven_sim#" +
               number + u"&0#{" + (cdrom ? u"53f56308" : u"53f56307") +
               u"-b6bf-11d0-94f2-00a0c91efb8b}";
  nodes.interfacePath = iface.path;
  AddInterface(iface);
  UsbPort port = drive.device;
  if (!drive.serial.empty()) port.strings[port.iSerialNumber] = drive.serial;
  SetHubPort(hub, drive.port, port);
  for (char letter : drive.letters) {
    Volume volume;
    volume.driveType = drive.driveType;
    volume.deviceType = iface.deviceType;
    volume.deviceNumber = drive.deviceNumber;
    AddVolume(letter, volume);
  }
  return nodes;
}

std::vector<World::HubRequest> World::HubRequests() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->hubRequests;
}

// ---- Openers ----

std::unique_ptr<IoObject> OpenVolume(World& world, char letter, const OpenRequest& request,
                                     DWORD& error) {
  World::Impl& w = world.impl();
  std::lock_guard<std::mutex> lock(w.mu);
  auto it = w.volumes.find(letter);
  if (it == w.volumes.end() || !it->second.opens) {
    error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  return std::make_unique<VolumeObject>(it->second, request.access);
}

std::unique_ptr<IoObject> OpenDeviceInterface(World& world, const OpenRequest& request,
                                              DWORD& error) {
  World::Impl& w = world.impl();
  std::lock_guard<std::mutex> lock(w.mu);
  for (const World::Interface& iface : w.interfaces) {
    if (!SameText(iface.path, request.path)) continue;
    if (!iface.opens) {
      error = ERROR_ACCESS_DENIED;
      return nullptr;
    }
    if (iface.interfaceClass == GUID_DEVINTERFACE_USB_HUB)
      return std::make_unique<HubObject>(iface.node);
    return std::make_unique<InterfaceObject>(iface);
  }
  error = ERROR_FILE_NOT_FOUND;
  return nullptr;
}

}  // namespace sim

namespace plat {

namespace {

bool Fails(const char* call) {
  DWORD error = 0;
  if (!sim::W().Fails(call, error)) return false;
  SetLastError(error);
  return true;
}

UINT DriveTypeOf(char first, bool rootPath) {
  char letter = sim::UpperLetter(first);
  auto& w = sim::W();
  std::lock_guard<std::mutex> lock(w.mu);
  auto it = w.volumes.find(letter);
  if (!letter || !rootPath || it == w.volumes.end()) return DRIVE_NO_ROOT_DIR;
  return it->second.driveType;
}

}  // namespace

DWORD GetLogicalDriveStringsA(DWORD size, char* buffer) {
  if (Fails("GetLogicalDriveStringsA")) return 0;
  std::string roots;
  {
    auto& w = sim::W();
    std::lock_guard<std::mutex> lock(w.mu);
    for (const auto& [letter, volume] : w.volumes) {
      roots += letter;
      roots += ":\\";
      roots += '\0';
    }
  }
  // Too small: the size needed, terminator included, and nothing written.
  if (size < roots.size() + 1) return static_cast<DWORD>(roots.size() + 1);
  std::memcpy(buffer, roots.data(), roots.size());
  buffer[roots.size()] = 0;
  return static_cast<DWORD>(roots.size());
}

UINT GetDriveTypeA(const char* root) {
  if (Fails("GetDriveTypeA")) return DRIVE_UNKNOWN;
  if (!root || !root[0]) return DRIVE_NO_ROOT_DIR;
  return DriveTypeOf(root[0],
                     root[1] == ':' && (root[2] == 0 || (root[2] == '\\' && root[3] == 0)));
}

UINT GetDriveTypeW(const WCHAR* root) {
  if (Fails("GetDriveTypeW")) return DRIVE_UNKNOWN;
  if (!root || !root[0] || root[0] > 0x7F) return DRIVE_NO_ROOT_DIR;
  return DriveTypeOf(static_cast<char>(root[0]),
                     root[1] == u':' && (root[2] == 0 || (root[2] == u'\\' && root[3] == 0)));
}

}  // namespace plat
