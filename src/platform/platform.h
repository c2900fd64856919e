// The services of the operating system that the program calls.
//
// Every call keeps the platform's name, arguments and result, so a line of
// tool code reads like the Win32 call it stands for. Two implementations
// exist and one is linked in: win32/ (one thin call each) and sim/ (an
// in-memory world for tests and the demo).
//
// Include this header before <windows.h>, never after: the platform defines
// many of these names as macros.
#pragma once

#ifdef _WINDOWS_
#error "platform.h must be included before <windows.h>"
#endif

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace plat {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using UINT = unsigned int;
using LSTATUS = LONG;
using CONFIGRET = DWORD;
using DEVINST = DWORD;
using REGSAM = DWORD;
using WCHAR = char16_t;  // UTF-16 code unit on every build
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using HANDLE = void*;
using HDEVINFO = void*;
using HWND = struct HWND__*;
using HKEY = struct HKEY__*;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  std::uintptr_t Reserved;
};
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 8 ? 32 : 28));

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct SYSTEMTIME {
  WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct TIME_ZONE_INFORMATION;  // always passed as null: the zone now active

struct VS_FIXEDFILEINFO {
  DWORD dwSignature, dwStrucVersion, dwFileVersionMS, dwFileVersionLS, dwProductVersionMS,
      dwProductVersionLS, dwFileFlagsMask, dwFileFlags, dwFileOS, dwFileType, dwFileSubtype,
      dwFileDateMS, dwFileDateLS;
};

struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  const WCHAR* lpVerb;
  const WCHAR* lpFile;
  const WCHAR* lpParameters;
  const WCHAR* lpDirectory;
  int nShow;
  void* hInstApp;
  void* lpIDList;
  const WCHAR* lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIconOrMonitor;
  HANDLE hProcess;
};
static_assert(sizeof(void*) != 8 || sizeof(SHELLEXECUTEINFOW) == 112);

using LPTHREAD_START_ROUTINE = DWORD (*)(void*);

// Constants, with their platform values.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
// Sign-extended, as the platform spells it.
inline HKEY const HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000002u)));
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD CREATE_SUSPENDED = 4;
constexpr DWORD DIF_REMOVE = 5;
constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;
constexpr CONFIGRET CR_SUCCESS = 0;
constexpr CONFIGRET CR_INVALID_DEVINST = 5;
constexpr CONFIGRET CR_NO_SUCH_DEVINST = 13;
constexpr CONFIGRET CR_NO_SUCH_VALUE = 37;
constexpr CONFIGRET CR_BUFFER_SMALL = 26;
constexpr REGSAM KEY_QUERY_VALUE = 1;
constexpr int SW_SHOWNORMAL = 1;
constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr ULONG MAX_DEVICE_ID_LEN = 200;

// The six setup classes of phantom devices.
extern const GUID GUID_DEVCLASS_DISKDRIVE;
extern const GUID GUID_DEVCLASS_VOLUME;
extern const GUID GUID_DEVCLASS_USB;
extern const GUID GUID_DEVCLASS_CDROM;
extern const GUID GUID_DEVCLASS_SCSIADAPTER;
extern const GUID GUID_DEVCLASS_VOLUMESNAPSHOT;

// ---- Errors ----
DWORD GetLastError();
void SetLastError(DWORD code);
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     WCHAR* buffer, DWORD size, void* arguments);

// ---- Kernel objects ----
HANDLE CreateMutexW(const void* securityAttributes, BOOL initialOwner, const WCHAR* name);
BOOL ReleaseMutex(HANDLE mutex);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
HANDLE CreateThread(const void* securityAttributes, std::size_t stackSize,
                    LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags, DWORD* threadId);
DWORD ResumeThread(HANDLE thread);
void Sleep(DWORD milliseconds);

// ---- Device installation services and configuration manager ----
HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, const WCHAR* enumerator, HWND parent,
                              DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD memberIndex, SP_DEVINFO_DATA* data);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO set, SP_DEVINFO_DATA* data);
CONFIGRET CM_Get_DevNode_Status(ULONG* status, ULONG* problem, DEVINST devInst, ULONG flags);
CONFIGRET CM_Get_Device_IDW(DEVINST devInst, WCHAR* buffer, ULONG bufferLen, ULONG flags);

// ---- Registry ----
LSTATUS RegOpenKeyExW(HKEY key, const WCHAR* subKey, DWORD options, REGSAM desired, HKEY* result);
LSTATUS RegQueryInfoKeyW(HKEY key, WCHAR* className, DWORD* classLen, DWORD* reserved,
                         DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values,
                         DWORD* maxValueNameLen, DWORD* maxValueLen, DWORD* securityDescriptor,
                         FILETIME* lastWriteTime);
LSTATUS RegCloseKey(HKEY key);

// ---- Time ----
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* universal,
                                     SYSTEMTIME* local);
std::int64_t _time64(std::int64_t* out);  // current calendar time, UTC seconds
std::int64_t _mktime64(std::tm* local);   // -1 when the instant cannot be represented

// ---- The program file and its version resource ----
DWORD GetModuleFileNameW(void* module, WCHAR* buffer, DWORD size);
DWORD GetFileVersionInfoSizeW(const WCHAR* path, DWORD* handle);
BOOL GetFileVersionInfoW(const WCHAR* path, DWORD handle, DWORD size, void* data);
BOOL VerQueryValueW(const void* block, const WCHAR* subBlock, void** buffer, UINT* length);

// ---- Shell ----
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

// ---- Files, volumes and raw storage ----
//
// One set of calls serves plain files (the image file, the speed test's
// temporary file) and devices (volumes "\\.\E:", "\\.\PhysicalDrive%d",
// disk, CD-ROM and hub interface paths).

using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;

constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_SEEK = 25;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

constexpr DWORD IOCTL_STORAGE_CHECK_VERIFY = 0x2D4800;
constexpr DWORD IOCTL_STORAGE_GET_DEVICE_NUMBER = 0x2D1080;
constexpr DWORD IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x70000;
constexpr DWORD IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX = 0x220448;
constexpr DWORD IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION = 0x220410;
constexpr DWORD IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2 = 0x22045C;

struct STORAGE_DEVICE_NUMBER {
  DWORD DeviceType;
  DWORD DeviceNumber;
  DWORD PartitionNumber;
};
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == 12);

struct DISK_GEOMETRY {
  LONGLONG Cylinders;
  DWORD MediaType;
  DWORD TracksPerCylinder;
  DWORD SectorsPerTrack;
  DWORD BytesPerSector;
};
static_assert(sizeof(DISK_GEOMETRY) == 24);

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, const void* securityAttributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD share, const void* securityAttributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void* overlapped);
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
// The 64-bit distance and position stand for the platform's LARGE_INTEGER.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD method);
BOOL SetEndOfFile(HANDLE file);
DWORD GetFileAttributesW(const WCHAR* path);
BOOL DeleteFileW(const WCHAR* path);
UINT GetTempFileNameW(const WCHAR* directory, const WCHAR* prefix, UINT unique, WCHAR* tempFile);
// The three sizes stand for the platform's ULARGE_INTEGER.
BOOL GetDiskFreeSpaceExW(const WCHAR* directory, ULONGLONG* freeToCaller, ULONGLONG* total,
                         ULONGLONG* totalFree);
BOOL GetDiskFreeSpaceW(const WCHAR* root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters);
DWORD GetLogicalDriveStringsA(DWORD size, char* buffer);
UINT GetDriveTypeA(const char* root);
UINT GetDriveTypeW(const WCHAR* root);

// ---- Memory for unbuffered transfers ----
// Page-aligned and zeroed, as unbuffered I/O needs its buffers aligned to the
// sector size.
constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_RELEASE = 0x8000;
constexpr DWORD PAGE_READWRITE = 0x04;
void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD protect);
BOOL VirtualFree(void* address, std::size_t size, DWORD freeType);

// ---- Device interfaces, the device tree and USB hubs ----
//
// The walk from a drive letter to the hub port of its USB device, and the
// records the hub driver exchanges. Hub records are byte-packed, as the
// driver lays them out.

constexpr DWORD SPDRP_ADDRESS = 28;
constexpr DWORD DIGCF_INTERFACE_FLAGS = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;  // 0x12
constexpr DWORD FILE_DEVICE_CD_ROM = 2;
constexpr DWORD FILE_DEVICE_DISK = 7;

// The interface classes of disks, CD-ROM drives and USB hubs.
extern const GUID GUID_DEVINTERFACE_DISK;
extern const GUID GUID_DEVINTERFACE_CDROM;
extern const GUID GUID_DEVINTERFACE_USB_HUB;

struct SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  std::uintptr_t Reserved;
};
static_assert(sizeof(void*) != 8 || sizeof(SP_DEVICE_INTERFACE_DATA) == 32);

// A fixed part and a path that runs past it; `cbSize` takes the fixed
// part's size, the buffer the size the platform asked for.
struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
  DWORD cbSize;
  WCHAR DevicePath[1];
};
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8);

// Device-change broadcasts for volumes.
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr DWORD DBT_DEVTYP_VOLUME = 2;
struct DEV_BROADCAST_HDR {
  DWORD dbch_size;
  DWORD dbch_devicetype;
  DWORD dbch_reserved;
};
struct DEV_BROADCAST_VOLUME {
  DWORD dbcv_size;
  DWORD dbcv_devicetype;
  DWORD dbcv_reserved;
  DWORD dbcv_unitmask;
  WORD dbcv_flags;
};
static_assert(sizeof(DEV_BROADCAST_VOLUME) == 20);

#pragma pack(push, 1)
struct USB_DEVICE_DESCRIPTOR {
  BYTE bLength;
  BYTE bDescriptorType;
  WORD bcdUSB;
  BYTE bDeviceClass;
  BYTE bDeviceSubClass;
  BYTE bDeviceProtocol;
  BYTE bMaxPacketSize0;
  WORD idVendor;
  WORD idProduct;
  WORD bcdDevice;
  BYTE iManufacturer;
  BYTE iProduct;
  BYTE iSerialNumber;
  BYTE bNumConfigurations;
};
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);

// USB_CONNECTION_STATUS values.
constexpr DWORD NoDeviceConnected = 0;
constexpr DWORD DeviceConnected = 1;

// Without pipe entries.
struct USB_NODE_CONNECTION_INFORMATION_EX {
  ULONG ConnectionIndex;
  USB_DEVICE_DESCRIPTOR DeviceDescriptor;
  BYTE CurrentConfigurationValue;
  BYTE Speed;
  BYTE DeviceIsHub;
  WORD DeviceAddress;
  ULONG NumberOfOpenPipes;
  DWORD ConnectionStatus;
};
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == 35);

// The header; the descriptor's bytes follow it.
struct USB_DESCRIPTOR_REQUEST {
  ULONG ConnectionIndex;
  struct {
    BYTE bmRequest;
    BYTE bRequest;
    WORD wValue;
    WORD wIndex;
    WORD wLength;
  } SetupPacket;
};
static_assert(sizeof(USB_DESCRIPTOR_REQUEST) == 12);

struct USB_NODE_CONNECTION_INFORMATION_EX_V2 {
  ULONG ConnectionIndex;
  ULONG Length;
  ULONG SupportedUsbProtocols;  // USB_PROTOCOLS: 1 USB 1.1, 2 USB 2.0, 4 USB 3
  ULONG Flags;
};
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2) == 16);
#pragma pack(pop)

constexpr BYTE USB_REQUEST_GET_DESCRIPTOR = 6;
constexpr BYTE USB_STRING_DESCRIPTOR_TYPE = 3;
constexpr ULONG USB_PROTOCOL_USB300 = 4;

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* device, const GUID* interfaceClass,
                                 DWORD memberIndex, SP_DEVICE_INTERFACE_DATA* data);
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA* device);
BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                       DWORD* valueType, BYTE* buffer, DWORD size,
                                       DWORD* requiredSize);
CONFIGRET CM_Get_Parent(DEVINST* parent, DEVINST node, ULONG flags);

// ---- High-resolution counter ----
BOOL QueryPerformanceCounter(LONGLONG* count);
BOOL QueryPerformanceFrequency(LONGLONG* frequency);

// ---- Helpers built on the calls above (same on every platform) ----

// The system's text for an error code, inserts ignored, language 0x0400,
// at most 2,048 characters; empty when the lookup fails. Leaves the last
// error as it was.
std::u16string ErrorText(DWORD code);

}  // namespace plat

// ---- Internet access and the shell's open of an address ----
namespace plat {

using HINTERNET = void*;
using HINSTANCE = struct HINSTANCE__*;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;  // the system's proxy settings
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_DONT_CACHE = 0x04000000;
constexpr DWORD INTERNET_FLAG_TRANSFER_ASCII = 0x00000001;
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr DWORD INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_SEC_CERT_ERRORS = 12055;
constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;

HINTERNET InternetOpenW(const WCHAR* agent, DWORD accessType, const WCHAR* proxy,
                        const WCHAR* proxyBypass, DWORD flags);
HINTERNET InternetOpenUrlW(HINTERNET internet, const WCHAR* url, const WCHAR* headers,
                           DWORD headersLength, DWORD flags, std::uintptr_t context);
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD toRead, DWORD* read);
BOOL InternetCloseHandle(HINTERNET handle);
BOOL InternetSetOptionW(HINTERNET handle, DWORD option, void* buffer, DWORD length);
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* length, DWORD* index);

// Greater than 32 on success, as the platform answers.
HINSTANCE ShellExecuteW(HWND owner, const WCHAR* operation, const WCHAR* file,
                        const WCHAR* parameters, const WCHAR* directory, int showCommand);

}  // namespace plat
