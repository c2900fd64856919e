// An in-memory world behind the platform calls: device classes with present
// and phantom nodes, registry keys with last-write times, named mutexes,
// threads, a virtual clock, the program's version resource, and a failure to
// inject into any one call. A test (or the demo) builds a World, installs it,
// runs the program's code and then inspects it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace sim {

using plat::CONFIGRET;
using plat::DWORD;
using plat::GUID;
using plat::DEVINST;

// FILETIME for a UTC time value (seconds since 1970).
plat::FILETIME FileTimeFromUnix(std::int64_t seconds);

struct Device {
  GUID classGuid{};
  std::u16string instanceId;
  // What CM_Get_DevNode_Status answers: CR_NO_SUCH_DEVINST for a phantom,
  // CR_SUCCESS for a present device.
  CONFIGRET status = plat::CR_NO_SUCH_DEVINST;
  DWORD removeError = 0;  // the class installer fails with this code when non-zero
  bool removed = false;   // gone from the device database
  int removeCalls = 0;
};

class World {
 public:
  World();
  ~World();  // resumes and joins every thread it started
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // ---- Building the world (before the program runs, or from a hook) ----

  // Adds a device node of `classGuid` in enumeration order, with its registry
  // key written `ageSeconds` before the current time (no key when
  // `withKey` is false). Returns its index for later changes.
  std::size_t AddPhantom(const GUID& classGuid, const std::u16string& instanceId,
                         std::int64_t ageSeconds, bool withKey = true);
  std::size_t AddPresent(const GUID& classGuid, const std::u16string& instanceId);
  // The device enumeration key of an instance ID, with its last-write time.
  void SetKeyTime(const std::u16string& instanceId, const plat::FILETIME& lastWrite);
  void RemoveKey(const std::u16string& instanceId);
  // Makes SetupDiGetClassDevsW fail for this class.
  void BreakClass(const GUID& classGuid, DWORD error = plat::ERROR_INVALID_PARAMETER);

  // Reorders the enumeration of every class (as the platform may between two
  // walks), the same way for the same seed.
  void ShuffleDevices(std::uint32_t seed);

  // Thread-safe accessors, also for hooks running on a worker.
  Device DeviceAt(std::size_t index) const;
  void SetStatus(std::size_t index, CONFIGRET status);
  void SetRemoveError(std::size_t index, DWORD error);
  // Instance IDs the database still holds as phantoms, in enumeration order.
  std::vector<std::u16string> Phantoms() const;

  // ---- Failures and hooks ----

  // The next call of `call` (its platform name) after `skip` successful ones
  // fails: it returns its failure value and, where the call sets one, leaves
  // `error` as last error. For calls that return CONFIGRET or LSTATUS,
  // `error` is the returned value.
  void FailCall(const std::string& call, DWORD error, int skip = 0);

  // Runs on the calling thread, outside every lock, when
  // SetupDiCallClassInstaller is called for a device, before the device is
  // removed; a test may block in it to hold the worker at that device.
  std::function<void(const std::u16string& instanceId)> onClassInstaller;
  // Runs on the calling thread when Sleep is called, before the clock moves.
  std::function<void(DWORD ms)> onSleep;

  // ---- Clock ----

  // Virtual unless `realTime` (the demo): then Sleep sleeps and the clock
  // follows the host clock from the moment it is switched on.
  void SetRealTime(bool on);
  void SetNow(std::int64_t unixSeconds);  // the virtual clock, UTC
  std::int64_t Now() const;               // seconds
  std::int64_t NowMs() const;             // virtual milliseconds since the world began
  void SetUtcOffsetMinutes(int minutes);  // the local zone, no daylight saving
  int UtcOffsetMinutes() const { return utcOffsetMinutes_; }
  // Each removal takes this long (the demo makes it feel real).
  void SetRemovalDelayMs(DWORD ms) { removalDelayMs_ = ms; }

  // ---- Measuring ----
  // Time spent inside the platform calls, on every thread, so that a
  // benchmark can tell the program's own work from the world's.
  static std::int64_t CallNanos();

  // ---- Program file ----
  void SetModulePath(const std::u16string& path) { modulePath_ = path; }
  const std::u16string& ModulePath() const { return modulePath_; }
  void SetFileVersion(int major, int minor, int build, int revision);
  void RemoveVersionResource() { hasVersion_ = false; }

  // ---- Files and drive folders ----

  // Paths on this drive letter ("E:\\...") are files in this host folder
  // (UTF-16 on every build; the host's path encoding is the sim's business).
  void MapDriveFolder(char letter, const std::u16string& hostFolder);
  // What GetDiskFreeSpace(Ex)W answer for this letter's root, in place of
  // the host folder's file system.
  struct DiskSpace {
    plat::ULONGLONG freeToCaller = 0, total = 0, totalFree = 0;
    DWORD sectorsPerCluster = 8, bytesPerSector = 512, freeClusters = 0, totalClusters = 0;
  };
  void SetDiskSpace(char letter, const DiskSpace& space);
  // The next read (or write) through a handle on `path` (compared without
  // case) whose span holds byte `offset` fails with `error`, moving nothing;
  // with `error` 0 it comes back short, ending just before `offset`.
  void FailIoAt(const std::u16string& path, bool write, plat::LONGLONG offset, DWORD error);
  // Every CreateFileA/W call, in order.
  struct FileOpen {
    std::u16string path;
    DWORD access, share, disposition, flags;
    bool opened;
  };
  std::vector<FileOpen> FileOpens() const;
  // File and device handles opened and not yet closed.
  int OpenIoHandles() const;
  // QueryPerformanceCounter answers `counter()` when set (a test scripts it),
  // else a real monotonic count at the frequency.
  void SetCounter(std::function<plat::LONGLONG()> counter, plat::LONGLONG frequency = 10000000);

  // Host-file transfers on this drive take at least their size over these
  // rates (bytes per second) when the clock is real (the demo); 0 leaves a
  // direction as fast as the host.
  void SetDriveRates(char letter, double writeBytesPerSecond, double readBytesPerSecond);

  // ---- The order of calls ----
  // From this call on, every platform call by name, on every thread, in the
  // order made (file, counter, memory and handle calls among them).
  void StartCallLog();
  std::vector<std::string> CallLog() const;
  // Memory blocks from VirtualAlloc not yet freed.
  int LiveAllocations() const;

  // ---- Physical drives ----

  // "\\.\PhysicalDrive<number>": a disk that answers the geometry request
  // with `geometry` and whose bytes are those of the host file `backingFile`
  // (UTF-16; its length is the device's length). Opens are checked against
  // the access and sharing of the handles already open on it. The drive is
  // "not ready" (21) while the backing file is missing.
  struct PhysicalDrive {
    plat::DISK_GEOMETRY geometry{};
    std::u16string backingFile;
    bool readDenied = false;  // read opens fail with 5, as for a user without administrator rights
    DWORD readDelayMs = 0;    // each read takes this long on the world's clock (the demo's pace)
  };
  void AddPhysicalDrive(DWORD number, const PhysicalDrive& drive);
  void RemovePhysicalDrive(DWORD number);  // the device is gone: opens fail with 2
  // Runs on the calling thread, outside every lock, before a physical drive
  // is read at `position`; a test may block in it to hold the reader there.
  std::function<void(DWORD number, plat::LONGLONG position)> onDiskRead;

  // ---- Volumes, device nodes, interfaces and USB hubs ----

  // A drive letter's volume: what GetLogicalDriveStringsA lists, what
  // GetDriveTypeA/W answer, and what "\\.\X:" answers.
  struct Volume {
    plat::UINT driveType = plat::DRIVE_REMOVABLE;
    bool media = true;  // IOCTL_STORAGE_CHECK_VERIFY succeeds
    DWORD deviceType = plat::FILE_DEVICE_DISK;
    DWORD deviceNumber = 0;
    bool opens = true;                // else its path gives ERROR_FILE_NOT_FOUND
    std::map<DWORD, DWORD> refused;   // control code -> error it fails with
  };
  void AddVolume(char letter, const Volume& volume);  // replaces one with that letter
  void RemoveVolume(char letter);
  Volume VolumeAt(char letter) const;

  // A present device node below `parent` (0 for the root); returns its
  // DEVINST. `address` is its SPDRP_ADDRESS (none: the property read fails).
  DEVINST AddNode(DEVINST parent, const std::u16string& instanceId, bool hasAddress = false,
                  DWORD address = 0);

  // A present device interface of a node, opened by its path.
  struct Interface {
    GUID interfaceClass{};
    DEVINST node = 0;
    std::u16string path;
    DWORD deviceType = plat::FILE_DEVICE_DISK;
    DWORD deviceNumber = 0;
    bool opens = true;
    std::map<DWORD, DWORD> refused;  // control code -> error
  };
  void AddInterface(const Interface& iface);

  // What a hub answers about one of its ports.
  struct UsbPort {
    DWORD connectionStatus = plat::DeviceConnected;
    bool deviceIsHub = false;
    plat::WORD bcdUsb = 0x0200;
    plat::BYTE iSerialNumber = 3;
    // The string descriptors by index, as the device returns them: the
    // UTF-16 units after the length and type bytes, no terminator added.
    std::map<plat::BYTE, std::u16string> strings;
    plat::ULONG supportedProtocols = 3;  // USB 1.1 and 2.0
    std::map<DWORD, DWORD> refused;      // control code -> error
  };
  // A hub: a node with a hub interface at `path`.
  DEVINST AddHub(const std::u16string& path, DEVINST parent = 0);
  void SetHubPort(DEVINST hub, DWORD port, const UsbPort& answers);

  // A USB storage device on a hub port: its USB device node, its disk (or
  // CD-ROM) node with the port as address, the disk interface and a volume
  // for each letter.
  struct UsbDrive {
    std::string letters;  // "EF": two lettered partitions
    DWORD deviceNumber = 0;
    plat::UINT driveType = plat::DRIVE_REMOVABLE;
    DWORD port = 1;
    UsbPort device;
    std::u16string serial;  // into device.strings[device.iSerialNumber] when not empty
  };
  struct UsbDriveNodes {
    DEVINST usbDevice = 0, disk = 0;
    std::u16string interfacePath;
  };
  UsbDriveNodes AddUsbDrive(DEVINST hub, const UsbDrive& drive);

  // Hub requests seen, in order, for tests of the request fields.
  struct HubRequest {
    DWORD code;
    std::vector<plat::BYTE> in;
    DWORD outSize;
  };
  std::vector<HubRequest> HubRequests() const;

  // ---- What the program did ----

  struct ShellCall {
    DWORD cbSize;
    plat::ULONG fMask;
    plat::HWND hwnd;
    std::u16string verb, file, parameters, directory;
    int nShow;
  };
  std::vector<ShellCall> ShellCalls() const;
  int CallCount(const std::string& call) const;
  // Device information sets and registry keys opened and not yet released.
  int OpenDeviceInfoSets() const;
  int OpenKeys() const;
  // Waits until every thread the world started has returned.
  void WaitForThreads();
  // A named mutex created as if by another process, so that the program's
  // create call finds it already there.
  void AddForeignMutex(const std::u16string& name);
  bool MutexExists(const std::u16string& name) const;

  // ---- Internet and the shell's open (sim_internet.cpp) ----

  // The version list as the server answers it: each InternetReadFile hands
  // out the next piece (split further when the reader asks for less), then 0
  // bytes. With no answer set, opening an address fails as with no network.
  void SetInternetAnswer(std::vector<std::string> pieces, DWORD httpStatus = 200);
  // Runs on the calling thread when InternetOpenUrlW is called, before it
  // answers; a test may block in it to hold the check "on the network".
  std::function<void()> onInternetOpenUrl;

  struct InternetOpenCall {
    std::u16string agent;
    DWORD accessType;
    bool proxyGiven;
    DWORD flags;
  };
  struct UrlOpenCall {
    std::u16string url;
    DWORD flags;
  };
  struct ShellExecuteCall {
    plat::HWND owner;
    std::u16string operation, file;
    bool parametersGiven, directoryGiven;
    int showCommand;
  };
  std::vector<InternetOpenCall> InternetOpens() const;
  std::vector<UrlOpenCall> UrlOpens() const;
  // Options set, in order: {option, value}.
  std::vector<std::pair<DWORD, DWORD>> InternetOptions() const;
  std::vector<DWORD> ReadSizes() const;  // what each InternetReadFile asked for
  int OpenInternetHandles() const;
  std::vector<ShellExecuteCall> ShellExecuteCalls() const;

  // Counts a call and takes a failure set by FailCall for it, if one is due.
  bool TakeFailure(const std::string& call, DWORD& error);
  struct InternetState;
  std::shared_ptr<InternetState> internetState;  // made on first use

  // ---- Implementation, used by the platform calls ----
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
  std::u16string modulePath_ = u"C:\\Program Files\\Tidewell\\Tidewell.exe";
  bool hasVersion_ = true;
  int version_[4] = {1, 0, 0, 0};
  int utcOffsetMinutes_ = 0;
  DWORD removalDelayMs_ = 0;
  friend struct Access;
};

// The world the platform calls act on. Install one before running program
// code; a test installs a fresh one per case. Returns the one it replaces.
World* Install(World* world);
World& Current();

// A thread of the installed world that waits in its own message loop with
// nothing to do is parked: WaitForThreads does not wait for it until a
// message is posted to it. The headless backend's thread queues say so.
void SetThreadParked(std::thread::id thread, bool parked);

// Installs a fresh world for the lifetime of the object, then puts back the
// one it replaced; the threads it started have ended by then.
class ScopedWorld {
 public:
  ScopedWorld() : previous_(Install(&world_)) {}
  ~ScopedWorld() {
    world_.WaitForThreads();
    Install(previous_);
  }
  World* operator->() { return &world_; }
  World& operator*() { return world_; }

 private:
  World world_;
  World* previous_;
};

}  // namespace sim
