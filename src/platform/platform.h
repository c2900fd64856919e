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
