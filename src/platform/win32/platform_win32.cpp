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
static_assert(plat::IOCTL_STORAGE_CHECK_VERIFY == IOCTL_STORAGE_CHECK_VERIFY);
static_assert(plat::IOCTL_STORAGE_GET_DEVICE_NUMBER == IOCTL_STORAGE_GET_DEVICE_NUMBER);
static_assert(plat::IOCTL_DISK_GET_DRIVE_GEOMETRY == IOCTL_DISK_GET_DRIVE_GEOMETRY);
static_assert(plat::FILE_FLAG_WRITE_THROUGH == FILE_FLAG_WRITE_THROUGH);
static_assert(plat::FILE_FLAG_NO_BUFFERING == FILE_FLAG_NO_BUFFERING);

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

// ---- High-resolution counter ----
BOOL QueryPerformanceCounter(LONGLONG* count) {
  return ::QueryPerformanceCounter(reinterpret_cast<::LARGE_INTEGER*>(count));
}
BOOL QueryPerformanceFrequency(LONGLONG* frequency) {
  return ::QueryPerformanceFrequency(reinterpret_cast<::LARGE_INTEGER*>(frequency));
}

}  // namespace plat
