// The platform services on Windows: each is the Win32 call of the same name,
// with the interface's types cast to the SDK's. No logic belongs here.
//
// The SDK's DWORD, ULONG and LONG are `long` types on Windows, ours are the
// fixed-width ones of the same size, hence the pointer casts; the asserts
// below prove that each cast record has the SDK's layout.
#include "platform/platform.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>
#include <shellapi.h>
#include <winioctl.h>
#include <winver.h>
#include <dbt.h>
#include <usbioctl.h>

#include <cstddef>
#include <ctime>
#include <type_traits>

namespace {

static_assert(sizeof(plat::DWORD) == sizeof(::DWORD));
static_assert(sizeof(plat::ULONG) == sizeof(::ULONG));
static_assert(std::is_same_v<::ULONG, ::DWORD>);  // one cast serves both
static_assert(sizeof(plat::LONG) == sizeof(::LONG));
static_assert(sizeof(plat::UINT) == sizeof(::UINT));
static_assert(sizeof(plat::WCHAR) == sizeof(::WCHAR));
static_assert(sizeof(plat::LSTATUS) == sizeof(::LSTATUS));
static_assert(sizeof(plat::CONFIGRET) == sizeof(::CONFIGRET));
static_assert(sizeof(plat::DEVINST) == sizeof(::DEVINST));
static_assert(sizeof(plat::REGSAM) == sizeof(::REGSAM));
static_assert(sizeof(std::int64_t) == sizeof(::__time64_t));

static_assert(sizeof(plat::GUID) == sizeof(::GUID));
static_assert(offsetof(plat::GUID, Data2) == offsetof(::GUID, Data2));
static_assert(offsetof(plat::GUID, Data3) == offsetof(::GUID, Data3));
static_assert(offsetof(plat::GUID, Data4) == offsetof(::GUID, Data4));

static_assert(sizeof(plat::SP_DEVINFO_DATA) == sizeof(::SP_DEVINFO_DATA));
static_assert(offsetof(plat::SP_DEVINFO_DATA, ClassGuid) == offsetof(::SP_DEVINFO_DATA, ClassGuid));
static_assert(offsetof(plat::SP_DEVINFO_DATA, DevInst) == offsetof(::SP_DEVINFO_DATA, DevInst));
static_assert(offsetof(plat::SP_DEVINFO_DATA, Reserved) == offsetof(::SP_DEVINFO_DATA, Reserved));

static_assert(sizeof(plat::FILETIME) == sizeof(::FILETIME));
static_assert(offsetof(plat::FILETIME, dwHighDateTime) == offsetof(::FILETIME, dwHighDateTime));

static_assert(sizeof(plat::SYSTEMTIME) == sizeof(::SYSTEMTIME));
static_assert(offsetof(plat::SYSTEMTIME, wMonth) == offsetof(::SYSTEMTIME, wMonth));
static_assert(offsetof(plat::SYSTEMTIME, wDayOfWeek) == offsetof(::SYSTEMTIME, wDayOfWeek));
static_assert(offsetof(plat::SYSTEMTIME, wDay) == offsetof(::SYSTEMTIME, wDay));
static_assert(offsetof(plat::SYSTEMTIME, wMilliseconds) == offsetof(::SYSTEMTIME, wMilliseconds));

static_assert(sizeof(plat::VS_FIXEDFILEINFO) == sizeof(::VS_FIXEDFILEINFO));
static_assert(offsetof(plat::VS_FIXEDFILEINFO, dwFileVersionMS) ==
              offsetof(::VS_FIXEDFILEINFO, dwFileVersionMS));
static_assert(offsetof(plat::VS_FIXEDFILEINFO, dwFileVersionLS) ==
              offsetof(::VS_FIXEDFILEINFO, dwFileVersionLS));
static_assert(offsetof(plat::VS_FIXEDFILEINFO, dwFileDateLS) ==
              offsetof(::VS_FIXEDFILEINFO, dwFileDateLS));

static_assert(sizeof(plat::SHELLEXECUTEINFOW) == sizeof(::SHELLEXECUTEINFOW));
static_assert(offsetof(plat::SHELLEXECUTEINFOW, hwnd) == offsetof(::SHELLEXECUTEINFOW, hwnd));
static_assert(offsetof(plat::SHELLEXECUTEINFOW, lpFile) == offsetof(::SHELLEXECUTEINFOW, lpFile));
static_assert(offsetof(plat::SHELLEXECUTEINFOW, nShow) == offsetof(::SHELLEXECUTEINFOW, nShow));
static_assert(offsetof(plat::SHELLEXECUTEINFOW, hInstApp) == offsetof(::SHELLEXECUTEINFOW, hInstApp));
static_assert(offsetof(plat::SHELLEXECUTEINFOW, hkeyClass) == offsetof(::SHELLEXECUTEINFOW, hkeyClass));
static_assert(offsetof(plat::SHELLEXECUTEINFOW, hProcess) == offsetof(::SHELLEXECUTEINFOW, hProcess));

static_assert(sizeof(plat::STORAGE_DEVICE_NUMBER) == sizeof(::STORAGE_DEVICE_NUMBER));
static_assert(offsetof(plat::STORAGE_DEVICE_NUMBER, DeviceNumber) ==
              offsetof(::STORAGE_DEVICE_NUMBER, DeviceNumber));
static_assert(offsetof(plat::STORAGE_DEVICE_NUMBER, PartitionNumber) ==
              offsetof(::STORAGE_DEVICE_NUMBER, PartitionNumber));
static_assert(sizeof(plat::DISK_GEOMETRY) == sizeof(::DISK_GEOMETRY));
static_assert(offsetof(plat::DISK_GEOMETRY, MediaType) == offsetof(::DISK_GEOMETRY, MediaType));
static_assert(offsetof(plat::DISK_GEOMETRY, TracksPerCylinder) ==
              offsetof(::DISK_GEOMETRY, TracksPerCylinder));
static_assert(offsetof(plat::DISK_GEOMETRY, SectorsPerTrack) ==
              offsetof(::DISK_GEOMETRY, SectorsPerTrack));
static_assert(offsetof(plat::DISK_GEOMETRY, BytesPerSector) ==
              offsetof(::DISK_GEOMETRY, BytesPerSector));
static_assert(sizeof(::LARGE_INTEGER) == sizeof(plat::LONGLONG));
static_assert(sizeof(::ULARGE_INTEGER) == sizeof(plat::ULONGLONG));

// The device interface records, the volume broadcast and the hub records.
static_assert(sizeof(plat::SP_DEVICE_INTERFACE_DATA) == sizeof(::SP_DEVICE_INTERFACE_DATA));
static_assert(offsetof(plat::SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid) ==
              offsetof(::SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid));
static_assert(offsetof(plat::SP_DEVICE_INTERFACE_DATA, Flags) == offsetof(::SP_DEVICE_INTERFACE_DATA, Flags));
static_assert(offsetof(plat::SP_DEVICE_INTERFACE_DATA, Reserved) ==
              offsetof(::SP_DEVICE_INTERFACE_DATA, Reserved));
static_assert(sizeof(plat::SP_DEVICE_INTERFACE_DETAIL_DATA_W) == sizeof(::SP_DEVICE_INTERFACE_DETAIL_DATA_W));
static_assert(offsetof(plat::SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) ==
              offsetof(::SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath));
static_assert(sizeof(plat::DEV_BROADCAST_HDR) == sizeof(::DEV_BROADCAST_HDR));
static_assert(sizeof(plat::DEV_BROADCAST_VOLUME) == sizeof(::DEV_BROADCAST_VOLUME));
static_assert(offsetof(plat::DEV_BROADCAST_VOLUME, dbcv_devicetype) ==
              offsetof(::DEV_BROADCAST_VOLUME, dbcv_devicetype));
static_assert(offsetof(plat::DEV_BROADCAST_VOLUME, dbcv_unitmask) ==
              offsetof(::DEV_BROADCAST_VOLUME, dbcv_unitmask));
static_assert(offsetof(plat::DEV_BROADCAST_VOLUME, dbcv_flags) == offsetof(::DEV_BROADCAST_VOLUME, dbcv_flags));
static_assert(sizeof(plat::USB_DEVICE_DESCRIPTOR) == sizeof(::USB_DEVICE_DESCRIPTOR));
static_assert(offsetof(plat::USB_DEVICE_DESCRIPTOR, bcdUSB) == offsetof(::USB_DEVICE_DESCRIPTOR, bcdUSB));
static_assert(offsetof(plat::USB_DEVICE_DESCRIPTOR, iSerialNumber) ==
              offsetof(::USB_DEVICE_DESCRIPTOR, iSerialNumber));
static_assert(sizeof(plat::USB_NODE_CONNECTION_INFORMATION_EX) ==
              sizeof(::USB_NODE_CONNECTION_INFORMATION_EX));
static_assert(offsetof(plat::USB_NODE_CONNECTION_INFORMATION_EX, DeviceDescriptor) ==
              offsetof(::USB_NODE_CONNECTION_INFORMATION_EX, DeviceDescriptor));
static_assert(offsetof(plat::USB_NODE_CONNECTION_INFORMATION_EX, DeviceIsHub) ==
              offsetof(::USB_NODE_CONNECTION_INFORMATION_EX, DeviceIsHub));
static_assert(offsetof(plat::USB_NODE_CONNECTION_INFORMATION_EX, DeviceAddress) ==
              offsetof(::USB_NODE_CONNECTION_INFORMATION_EX, DeviceAddress));
static_assert(offsetof(plat::USB_NODE_CONNECTION_INFORMATION_EX, ConnectionStatus) ==
              offsetof(::USB_NODE_CONNECTION_INFORMATION_EX, ConnectionStatus));
static_assert(sizeof(::USB_CONNECTION_STATUS) == sizeof(plat::DWORD));
static_assert(plat::NoDeviceConnected == ::NoDeviceConnected);
static_assert(plat::DeviceConnected == ::DeviceConnected);
static_assert(sizeof(plat::USB_DESCRIPTOR_REQUEST) == sizeof(::USB_DESCRIPTOR_REQUEST));
static_assert(offsetof(plat::USB_DESCRIPTOR_REQUEST, SetupPacket) ==
              offsetof(::USB_DESCRIPTOR_REQUEST, SetupPacket));
static_assert(offsetof(plat::USB_DESCRIPTOR_REQUEST, SetupPacket.wValue) ==
              offsetof(::USB_DESCRIPTOR_REQUEST, SetupPacket.wValue));
static_assert(offsetof(plat::USB_DESCRIPTOR_REQUEST, SetupPacket.wLength) ==
              offsetof(::USB_DESCRIPTOR_REQUEST, SetupPacket.wLength));
static_assert(sizeof(plat::USB_NODE_CONNECTION_INFORMATION_EX_V2) ==
              sizeof(::USB_NODE_CONNECTION_INFORMATION_EX_V2));
static_assert(offsetof(plat::USB_NODE_CONNECTION_INFORMATION_EX_V2, SupportedUsbProtocols) ==
              offsetof(::USB_NODE_CONNECTION_INFORMATION_EX_V2, SupportedUsbProtocols));
static_assert(offsetof(plat::USB_NODE_CONNECTION_INFORMATION_EX_V2, Flags) ==
              offsetof(::USB_NODE_CONNECTION_INFORMATION_EX_V2, Flags));
// The SDK spells these constants as macros: take their values, then let
// our names through.
constexpr ::DWORD kSdk_DBT_DEVICEARRIVAL = DBT_DEVICEARRIVAL;
#undef DBT_DEVICEARRIVAL
constexpr ::DWORD kSdk_DBT_DEVICEREMOVECOMPLETE = DBT_DEVICEREMOVECOMPLETE;
#undef DBT_DEVICEREMOVECOMPLETE
constexpr ::DWORD kSdk_DBT_DEVTYP_VOLUME = DBT_DEVTYP_VOLUME;
#undef DBT_DEVTYP_VOLUME
constexpr ::DWORD kSdk_IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX;
#undef IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX
constexpr ::DWORD kSdk_IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION = IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION;
#undef IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION
constexpr ::DWORD kSdk_IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2 = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2;
#undef IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2
constexpr ::DWORD kSdk_SPDRP_ADDRESS = SPDRP_ADDRESS;
#undef SPDRP_ADDRESS
constexpr ::DWORD kSdk_FILE_DEVICE_DISK = FILE_DEVICE_DISK;
#undef FILE_DEVICE_DISK
constexpr ::DWORD kSdk_FILE_DEVICE_CD_ROM = FILE_DEVICE_CD_ROM;
#undef FILE_DEVICE_CD_ROM
static_assert(plat::DBT_DEVICEARRIVAL == kSdk_DBT_DEVICEARRIVAL);
static_assert(plat::DBT_DEVICEREMOVECOMPLETE == kSdk_DBT_DEVICEREMOVECOMPLETE);
static_assert(plat::DBT_DEVTYP_VOLUME == kSdk_DBT_DEVTYP_VOLUME);
static_assert(plat::IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX == kSdk_IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX);
static_assert(plat::IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION == kSdk_IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION);
static_assert(plat::IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2 == kSdk_IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2);
static_assert(plat::SPDRP_ADDRESS == kSdk_SPDRP_ADDRESS);
static_assert(plat::FILE_DEVICE_DISK == kSdk_FILE_DEVICE_DISK);
static_assert(plat::FILE_DEVICE_CD_ROM == kSdk_FILE_DEVICE_CD_ROM);
static_assert(plat::DIGCF_INTERFACE_FLAGS == (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));

::HWND Win(plat::HWND window) { return reinterpret_cast<::HWND>(window); }
::HKEY Win(plat::HKEY key) { return reinterpret_cast<::HKEY>(key); }
::DWORD* Win(plat::DWORD* p) { return reinterpret_cast<::DWORD*>(p); }
::WCHAR* Win(plat::WCHAR* s) { return reinterpret_cast<::WCHAR*>(s); }
const ::WCHAR* Win(const plat::WCHAR* s) { return reinterpret_cast<const ::WCHAR*>(s); }
const ::GUID* Win(const plat::GUID* g) { return reinterpret_cast<const ::GUID*>(g); }
::SP_DEVINFO_DATA* Win(plat::SP_DEVINFO_DATA* d) { return reinterpret_cast<::SP_DEVINFO_DATA*>(d); }
::SECURITY_ATTRIBUTES* WinSecurity(const void* sa) {
  return static_cast<::SECURITY_ATTRIBUTES*>(const_cast<void*>(sa));
}

}  // namespace

namespace plat {

// ---- Errors ----
DWORD GetLastError() { return ::GetLastError(); }
void SetLastError(DWORD code) { ::SetLastError(code); }
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     WCHAR* buffer, DWORD size, void* arguments) {
  return ::FormatMessageW(flags, source, messageId, languageId, Win(buffer), size,
                          static_cast<va_list*>(arguments));
}

// ---- Kernel objects ----
HANDLE CreateMutexW(const void* securityAttributes, BOOL initialOwner, const WCHAR* name) {
  return ::CreateMutexW(WinSecurity(securityAttributes), initialOwner, Win(name));
}
BOOL ReleaseMutex(HANDLE mutex) { return ::ReleaseMutex(mutex); }
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return ::WaitForSingleObject(handle, milliseconds);
}
BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }
HANDLE CreateThread(const void* securityAttributes, std::size_t stackSize,
                    LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags, DWORD* threadId) {
  // Same x64 calling convention; the return types differ only in spelling
  // (unsigned int vs unsigned long, both 32 bits). The cast through void(*)()
  // tells the compiler the mismatch is intended.
  return ::CreateThread(WinSecurity(securityAttributes), stackSize,
                        reinterpret_cast<::LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(start)),
                        parameter, flags, Win(threadId));
}
DWORD ResumeThread(HANDLE thread) { return ::ResumeThread(thread); }
void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

// ---- Device installation services and configuration manager ----
HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, const WCHAR* enumerator, HWND parent,
                              DWORD flags) {
  return ::SetupDiGetClassDevsW(Win(classGuid), Win(enumerator), Win(parent), flags);
}
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD memberIndex, SP_DEVINFO_DATA* data) {
  return ::SetupDiEnumDeviceInfo(set, memberIndex, Win(data));
}
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) { return ::SetupDiDestroyDeviceInfoList(set); }
BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO set, SP_DEVINFO_DATA* data) {
  return ::SetupDiCallClassInstaller(installFunction, set, Win(data));
}
CONFIGRET CM_Get_DevNode_Status(ULONG* status, ULONG* problem, DEVINST devInst, ULONG flags) {
  return ::CM_Get_DevNode_Status(Win(status), Win(problem), devInst, flags);
}
CONFIGRET CM_Get_Device_IDW(DEVINST devInst, WCHAR* buffer, ULONG bufferLen, ULONG flags) {
  return ::CM_Get_Device_IDW(devInst, Win(buffer), bufferLen, flags);
}

// ---- Registry ----
LSTATUS RegOpenKeyExW(HKEY key, const WCHAR* subKey, DWORD options, REGSAM desired, HKEY* result) {
  return ::RegOpenKeyExW(Win(key), Win(subKey), options, desired, reinterpret_cast<::HKEY*>(result));
}
LSTATUS RegQueryInfoKeyW(HKEY key, WCHAR* className, DWORD* classLen, DWORD* reserved,
                         DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values,
                         DWORD* maxValueNameLen, DWORD* maxValueLen, DWORD* securityDescriptor,
                         FILETIME* lastWriteTime) {
  return ::RegQueryInfoKeyW(Win(key), Win(className), Win(classLen), Win(reserved), Win(subKeys),
                            Win(maxSubKeyLen), Win(maxClassLen), Win(values), Win(maxValueNameLen),
                            Win(maxValueLen), Win(securityDescriptor),
                            reinterpret_cast<::FILETIME*>(lastWriteTime));
}
LSTATUS RegCloseKey(HKEY key) { return ::RegCloseKey(Win(key)); }

// ---- Time ----
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
  return ::FileTimeToSystemTime(reinterpret_cast<const ::FILETIME*>(fileTime),
                                reinterpret_cast<::SYSTEMTIME*>(systemTime));
}
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* universal,
                                     SYSTEMTIME* local) {
  return ::SystemTimeToTzSpecificLocalTime(reinterpret_cast<const ::TIME_ZONE_INFORMATION*>(zone),
                                           reinterpret_cast<const ::SYSTEMTIME*>(universal),
                                           reinterpret_cast<::SYSTEMTIME*>(local));
}
std::int64_t _time64(std::int64_t* out) { return ::_time64(reinterpret_cast<::__time64_t*>(out)); }
std::int64_t _mktime64(std::tm* local) { return ::_mktime64(local); }

// ---- The program file and its version resource ----
DWORD GetModuleFileNameW(void* module, WCHAR* buffer, DWORD size) {
  return ::GetModuleFileNameW(static_cast<::HMODULE>(module), Win(buffer), size);
}
DWORD GetFileVersionInfoSizeW(const WCHAR* path, DWORD* handle) {
  return ::GetFileVersionInfoSizeW(Win(path), Win(handle));
}
BOOL GetFileVersionInfoW(const WCHAR* path, DWORD handle, DWORD size, void* data) {
  return ::GetFileVersionInfoW(Win(path), handle, size, data);
}
BOOL VerQueryValueW(const void* block, const WCHAR* subBlock, void** buffer, UINT* length) {
  return ::VerQueryValueW(block, Win(subBlock), buffer, length);
}

// ---- Shell ----
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  return ::ShellExecuteExW(reinterpret_cast<::SHELLEXECUTEINFOW*>(info));
}

// ---- Files, volumes and raw storage ----
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, const void* securityAttributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  return ::CreateFileA(path, access, share, WinSecurity(securityAttributes), disposition, flags,
                       templateFile);
}
HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD share, const void* securityAttributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  return ::CreateFileW(Win(path), access, share, WinSecurity(securityAttributes), disposition, flags,
                       templateFile);
}
BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void* overlapped) {
  return ::DeviceIoControl(device, code, in, inSize, out, outSize, Win(returned),
                           static_cast<::OVERLAPPED*>(overlapped));
}
void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD protect) {
  return ::VirtualAlloc(address, size, allocationType, protect);
}
BOOL VirtualFree(void* address, std::size_t size, DWORD freeType) {
  return ::VirtualFree(address, size, freeType);
}
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped) {
  return ::ReadFile(file, buffer, toRead, Win(read), static_cast<::OVERLAPPED*>(overlapped));
}
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped) {
  return ::WriteFile(file, buffer, toWrite, Win(written), static_cast<::OVERLAPPED*>(overlapped));
}
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  return ::SetFilePointer(file, distance, reinterpret_cast<::LONG*>(distanceHigh), method);
}
BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD method) {
  ::LARGE_INTEGER d;
  d.QuadPart = distance;
  ::LARGE_INTEGER moved{};
  BOOL ok = ::SetFilePointerEx(file, d, &moved, method);
  if (ok && newPosition) *newPosition = moved.QuadPart;
  return ok;
}
BOOL SetEndOfFile(HANDLE file) { return ::SetEndOfFile(file); }
DWORD GetFileAttributesW(const WCHAR* path) { return ::GetFileAttributesW(Win(path)); }
BOOL DeleteFileW(const WCHAR* path) { return ::DeleteFileW(Win(path)); }
UINT GetTempFileNameW(const WCHAR* directory, const WCHAR* prefix, UINT unique, WCHAR* tempFile) {
  return ::GetTempFileNameW(Win(directory), Win(prefix), unique, Win(tempFile));
}
BOOL GetDiskFreeSpaceExW(const WCHAR* directory, ULONGLONG* freeToCaller, ULONGLONG* total,
                         ULONGLONG* totalFree) {
  return ::GetDiskFreeSpaceExW(Win(directory), reinterpret_cast<::ULARGE_INTEGER*>(freeToCaller),
                               reinterpret_cast<::ULARGE_INTEGER*>(total),
                               reinterpret_cast<::ULARGE_INTEGER*>(totalFree));
}
BOOL GetDiskFreeSpaceW(const WCHAR* root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters) {
  return ::GetDiskFreeSpaceW(Win(root), Win(sectorsPerCluster), Win(bytesPerSector),
                             Win(freeClusters), Win(totalClusters));
}
DWORD GetLogicalDriveStringsA(DWORD size, char* buffer) {
  return ::GetLogicalDriveStringsA(size, buffer);
}
UINT GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }
UINT GetDriveTypeW(const WCHAR* root) { return ::GetDriveTypeW(Win(root)); }

// ---- Device interfaces, the device tree and USB hubs ----
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* device, const GUID* interfaceClass,
                                 DWORD memberIndex, SP_DEVICE_INTERFACE_DATA* data) {
  return ::SetupDiEnumDeviceInterfaces(set, Win(device), Win(interfaceClass), memberIndex,
                                       reinterpret_cast<::SP_DEVICE_INTERFACE_DATA*>(data));
}
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA* device) {
  return ::SetupDiGetDeviceInterfaceDetailW(
      set, reinterpret_cast<::SP_DEVICE_INTERFACE_DATA*>(data),
      reinterpret_cast<::SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail), detailSize, Win(requiredSize),
      Win(device));
}
BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                       DWORD* valueType, BYTE* buffer, DWORD size,
                                       DWORD* requiredSize) {
  return ::SetupDiGetDeviceRegistryPropertyW(set, Win(device), property, Win(valueType), buffer, size,
                                             Win(requiredSize));
}
CONFIGRET CM_Get_Parent(DEVINST* parent, DEVINST node, ULONG flags) {
  return ::CM_Get_Parent(reinterpret_cast<::DEVINST*>(parent), node, flags);
}

// ---- High-resolution counter ----
BOOL QueryPerformanceCounter(LONGLONG* count) {
  return ::QueryPerformanceCounter(reinterpret_cast<::LARGE_INTEGER*>(count));
}
BOOL QueryPerformanceFrequency(LONGLONG* frequency) {
  return ::QueryPerformanceFrequency(reinterpret_cast<::LARGE_INTEGER*>(frequency));
}

}  // namespace plat
