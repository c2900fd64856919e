#include "storage/usb_port.h"

#include <cstring>
#include <vector>

#include "storage/drive_list.h"

using namespace plat;

namespace {

constexpr DWORD kMaxDetailSize = 1024;
constexpr DWORD kDescriptorDataSize = 2048;

// The path and node of an enumerated interface; false when its detail
// record is out of bounds or cannot be read.
bool ReadInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data, std::u16string& path,
                         SP_DEVINFO_DATA& device) {
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
  if (required < 1 || required > kMaxDetailSize) return false;
  // Aligned for the record; its path runs to the end of the bytes asked for.
  std::vector<std::uint64_t> storage((required + sizeof(std::uint64_t) - 1) /
                                     sizeof(std::uint64_t));
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  device = SP_DEVINFO_DATA{};
  device.cbSize = sizeof(SP_DEVINFO_DATA);
  if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, &device))
    return false;
  const std::size_t units =
      (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
  path.assign(detail->DevicePath, units);
  path.resize(std::char_traits<char16_t>::length(path.c_str()));  // up to the terminator, if any
  return true;
}

enum class Take { DevInst, Address };

// Walks the present interfaces of `interfaceClass` for the disk whose device
// number is the volume's; the last match gives the result.
bool SearchByDeviceNumber(char letter, const GUID& interfaceClass, Take take, DWORD& result) {
  DWORD volumeNumber = 0;
  if (!QueryVolumeDeviceNumber(letter, volumeNumber)) return false;
  UniqueDevInfo set(SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_INTERFACE_FLAGS));
  if (!set) return false;
  bool found = false;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD index = 0;
       SetupDiEnumDeviceInterfaces(set.get(), nullptr, &interfaceClass, index, &data); ++index) {
    std::u16string path;
    SP_DEVINFO_DATA device{};
    if (!ReadInterfaceDetail(set.get(), data, path, device)) continue;
    UniqueFile disk(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!disk) continue;
    STORAGE_DEVICE_NUMBER number{};
    number.DeviceNumber = 0xFFFFFFFF;
    DWORD returned = 0;
    // One disk that will not tell its number (a virtual disk, a reader) is
    // skipped like one that cannot be opened, not the end of every search.
    if (!DeviceIoControl(disk.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                         sizeof number, &returned, nullptr))
      continue;
    if (number.DeviceNumber != volumeNumber) continue;
    if (take == Take::DevInst) {
      result = device.DevInst;
    } else {
      DWORD address = 0;
      SetupDiGetDeviceRegistryPropertyW(set.get(), &device, SPDRP_ADDRESS, nullptr,
                                        reinterpret_cast<BYTE*>(&address), sizeof address, nullptr);
      result = address;  // stays 0 when the property cannot be read
    }
    found = true;
  }
  return found;
}

}  // namespace

bool FindUsbPortNumber(char letter, ULONG& port) {
  DWORD result = 0;
  if (!SearchByDeviceNumber(letter, GUID_DEVINTERFACE_DISK, Take::Address, result)) return false;
  port = result;
  return true;
}

bool FindVolumeDevInst(char letter, DEVINST& devInst) {
  const WCHAR root[] = {static_cast<WCHAR>(static_cast<unsigned char>(letter)), u':', u'\\', 0};
  UINT type = GetDriveTypeW(root);
  const GUID* interfaceClass = type == DRIVE_REMOVABLE ? &GUID_DEVINTERFACE_DISK
                               : type == DRIVE_CDROM   ? &GUID_DEVINTERFACE_CDROM
                                                       : nullptr;
  if (!interfaceClass) return false;
  DWORD result = 0;
  if (!SearchByDeviceNumber(letter, *interfaceClass, Take::DevInst, result)) return false;
  devInst = result;
  return true;
}

bool FindHubDevicePath(DEVINST hub, std::u16string& path) {
  UniqueDevInfo set(
      SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USB_HUB, nullptr, nullptr, DIGCF_INTERFACE_FLAGS));
  if (!set) return false;
  bool found = false;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD index = 0;
       SetupDiEnumDeviceInterfaces(set.get(), nullptr, &GUID_DEVINTERFACE_USB_HUB, index, &data);
       ++index) {
    std::u16string candidate;
    SP_DEVINFO_DATA device{};
    if (!ReadInterfaceDetail(set.get(), data, candidate, device)) continue;
    if (device.DevInst != hub) continue;
    path = candidate;
    found = true;
  }
  return found;
}

bool LocateUsbPort(char letter, UniqueFile& hub, ULONG& port) {
  ULONG number = 0;
  if (!FindUsbPortNumber(letter, number)) return false;
  DEVINST disk = 0, usbDevice = 0, hubNode = 0;
  if (!FindVolumeDevInst(letter, disk)) return false;
  if (CM_Get_Parent(&usbDevice, disk, 0) != CR_SUCCESS) return false;
  if (CM_Get_Parent(&hubNode, usbDevice, 0) != CR_SUCCESS) return false;
  std::u16string path;
  if (!FindHubDevicePath(hubNode, path)) return false;
  UniqueFile opened(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!opened) return false;
  hub = std::move(opened);
  port = number;
  return true;
}

bool QueryHubPort(HANDLE hub, ULONG port, WORD& bcdUsb, std::u16string& serialText) {
  USB_NODE_CONNECTION_INFORMATION_EX info{};
  info.ConnectionIndex = port;
  DWORD returned = 0;
  if (!DeviceIoControl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info,
                       sizeof info, &returned, nullptr))
    return false;
  if (info.ConnectionStatus == NoDeviceConnected) return true;
  if (info.DeviceIsHub || info.ConnectionStatus != DeviceConnected) return false;
  bcdUsb = info.DeviceDescriptor.bcdUSB;

  BYTE buffer[sizeof(USB_DESCRIPTOR_REQUEST) + kDescriptorDataSize] = {};
  USB_DESCRIPTOR_REQUEST request{};
  request.ConnectionIndex = port;
  request.SetupPacket.bmRequest = 0x80;
  request.SetupPacket.bRequest = USB_REQUEST_GET_DESCRIPTOR;
  request.SetupPacket.wValue =
      static_cast<WORD>((USB_STRING_DESCRIPTOR_TYPE << 8) | info.DeviceDescriptor.iSerialNumber);
  request.SetupPacket.wIndex = 0;
  request.SetupPacket.wLength = kDescriptorDataSize;
  std::memcpy(buffer, &request, sizeof request);
  returned = 0;
  if (!DeviceIoControl(hub, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, buffer, sizeof buffer,
                       buffer, sizeof buffer, &returned, nullptr))
    return false;

  // The text follows the length and type bytes. It is the device's input:
  // read to its first zero unit or the end of what came back, never further.
  const std::size_t textStart = sizeof(USB_DESCRIPTOR_REQUEST) + 2;
  const std::size_t end = returned < sizeof buffer ? returned : sizeof buffer;
  std::u16string text;
  for (std::size_t at = textStart; at + 1 < end; at += 2) {
    auto unit = static_cast<char16_t>(buffer[at] | (buffer[at + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  serialText = text.size() >= 2 ? text : u"X";
  return true;
}

bool QueryUsbConnectionSpeed(char letter, ULONG& supportedProtocols, WORD& bcdUsb) {
  UniqueFile hub;
  ULONG port = 0;
  if (!LocateUsbPort(letter, hub, port)) return false;
  std::u16string serialText;
  if (!QueryHubPort(hub.get(), port, bcdUsb, serialText)) return false;
  USB_NODE_CONNECTION_INFORMATION_EX_V2 info{};
  info.ConnectionIndex = port;
  info.Length = sizeof info;
  info.SupportedUsbProtocols = USB_PROTOCOL_USB300;
  info.Flags = 0;
  DWORD returned = 0;
  if (!DeviceIoControl(hub.get(), IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &info,
                       sizeof info, &info, sizeof info, &returned, nullptr))
    return false;
  supportedProtocols = info.SupportedUsbProtocols;
  return true;
}

bool IsUsb3DeviceInUsb2Port(ULONG supportedProtocols, WORD bcdUsb) {
  return !(supportedProtocols & USB_PROTOCOL_USB300) && bcdUsb == 0x0210;
}
