// Inside the simulated platform: what stands behind a file or device handle.
//
// CreateFileA/W (sim_files.cpp) route a path to one of these: plain paths to
// host files (real bytes on the host), "\\.\X:" to a volume, "\\.\PhysicalDrive%d"
// to a physical drive, every other "\\.\" or "\\?\" path to a device
// interface or hub. The core keeps each handle's position, applies injected
// faults and records every open; an object only moves bytes at a position
// and answers its control codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sim/sim.h"

namespace sim {

using plat::DWORD;
using plat::LONGLONG;

struct OpenRequest {
  std::u16string path;  // as the program gave it
  DWORD access = 0;
  DWORD share = 0;
  DWORD disposition = 0;
  DWORD flags = 0;
};

class IoObject {
 public:
  virtual ~IoObject() = default;
  // Each returns false with `error` set when it fails. The defaults answer
  // as a device that does not support the request.
  virtual bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                       DWORD* returned, DWORD& error);
  virtual bool ReadAt(LONGLONG position, void* buffer, DWORD size, DWORD* read, DWORD& error);
  virtual bool WriteAt(LONGLONG position, const void* buffer, DWORD size, DWORD* written,
                       DWORD& error);
  virtual bool Size(LONGLONG& size, DWORD& error);
  virtual bool SetSize(LONGLONG size, DWORD& error);
  // The path faults are matched against (the opened path).
  std::u16string path;
};

// Device openers: null, with `error` set, when nothing answers at the path.
// The volume of a drive letter (sim_volumes.cpp).
std::unique_ptr<IoObject> OpenVolume(World& world, char letter, const OpenRequest& request,
                                     DWORD& error);
// A disk, CD-ROM or hub interface path (sim_volumes.cpp).
std::unique_ptr<IoObject> OpenDeviceInterface(World& world, const OpenRequest& request,
                                              DWORD& error);
// "\\.\PhysicalDrive%d" (sim_disks.cpp).
std::unique_ptr<IoObject> OpenPhysicalDrive(World& world, DWORD number, const OpenRequest& request,
                                            DWORD& error);

// A plain file on the host (posix/host_file.cpp or win32/host_file.cpp):
// `hostPath` is the host's own path, UTF-8 on POSIX, UTF-16 on Windows.
std::unique_ptr<IoObject> OpenHostFile(const std::u16string& hostPath, const OpenRequest& request,
                                       DWORD& error);
// The host's answers for plain paths; `error` is a platform code.
DWORD HostFileAttributes(const std::u16string& hostPath, DWORD& error);
bool HostDeleteFile(const std::u16string& hostPath, DWORD& error);
using HostSpace = World::DiskSpace;
bool HostDiskSpace(const std::u16string& hostFolder, HostSpace& space, DWORD& error);

// What a file or device handle holds. Used by the one thread that holds the
// handle, as the program uses its handles.
struct IoHandleState {
  std::unique_ptr<IoObject> object;
  LONGLONG position = 0;
  OpenRequest request;
};

// Handles for objects (sim.cpp); Find gives null for other handles.
plat::HANDLE NewIoHandle(std::shared_ptr<IoHandleState> state);
std::shared_ptr<IoHandleState> FindIoHandle(plat::HANDLE handle);

}  // namespace sim
