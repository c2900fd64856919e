// Physical drives of the simulated world: a geometry and a backing host
// file, so that an image is real bytes a test can compare. Also the page
// buffers the imager reads them into.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/sim/sim_impl.h"

namespace sim {

using namespace plat;

namespace {

bool Reads(DWORD access) { return access & (GENERIC_READ | FILE_READ_DATA); }
bool Writes(DWORD access) { return access & GENERIC_WRITE; }

// As the platform decides: each side's access must be allowed by the other's
// sharing; a query-only open (access 0) conflicts with nothing.
bool Conflicts(const World::Impl::DiskOpen& a, const World::Impl::DiskOpen& b) {
  return (Reads(a.access) && !(b.share & FILE_SHARE_READ)) ||
         (Writes(a.access) && !(b.share & FILE_SHARE_WRITE)) ||
         (Reads(b.access) && !(a.share & FILE_SHARE_READ)) ||
         (Writes(b.access) && !(a.share & FILE_SHARE_WRITE));
}

class DiskObject : public IoObject {
 public:
  DiskObject(DWORD number, std::unique_ptr<IoObject> backing, const World::PhysicalDrive& drive,
             DWORD access, std::shared_ptr<std::vector<World::Impl::DiskOpen>> opens, std::size_t slot)
      : number_(number), backing_(std::move(backing)), geometry_(drive.geometry),
        readDelayMs_(drive.readDelayMs), access_(access), opens_(std::move(opens)), slot_(slot) {}
  ~DiskObject() override {
    auto& w = Current().impl();
    std::lock_guard<std::mutex> lock(w.mu);
    (*opens_)[slot_] = {0, FILE_SHARE_READ | FILE_SHARE_WRITE};  // frees the slot's claim
  }

  bool Control(DWORD code, const void*, DWORD, void* out, DWORD outSize, DWORD* returned,
               DWORD& error) override {
    if (code != IOCTL_DISK_GET_DRIVE_GEOMETRY) {
      error = ERROR_INVALID_FUNCTION;
      return false;
    }
    if (!out || outSize < sizeof(DISK_GEOMETRY)) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return false;
    }
    std::memcpy(out, &geometry_, sizeof(DISK_GEOMETRY));
    *returned = sizeof(DISK_GEOMETRY);
    return true;
  }
  bool ReadAt(LONGLONG position, void* buffer, DWORD size, DWORD* read, DWORD& error) override {
    if (!Reads(access_)) {
      error = ERROR_ACCESS_DENIED;
      return false;
    }
    if (auto& hook = Current().onDiskRead) hook(number_, position);
    if (readDelayMs_) Sleep(readDelayMs_);
    return backing_->ReadAt(position, buffer, size, read, error);
  }
  bool WriteAt(LONGLONG, const void*, DWORD, DWORD*, DWORD& error) override {
    error = ERROR_ACCESS_DENIED;  // the imager only reads a drive
    return false;
  }
  bool Size(LONGLONG& size, DWORD& error) override { return backing_->Size(size, error); }

 private:
  DWORD number_;
  std::unique_ptr<IoObject> backing_;
  DISK_GEOMETRY geometry_;
  DWORD readDelayMs_;
  DWORD access_;
  std::shared_ptr<std::vector<World::Impl::DiskOpen>> opens_;
  std::size_t slot_;
};

}  // namespace

void World::AddPhysicalDrive(DWORD number, const PhysicalDrive& drive) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->disks[number].drive = drive;
}

void World::RemovePhysicalDrive(DWORD number) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->disks.erase(number);
}

std::unique_ptr<IoObject> OpenPhysicalDrive(World& world, DWORD number, const OpenRequest& request,
                                            DWORD& error) {
  auto& w = world.impl();
  World::PhysicalDrive drive;
  std::shared_ptr<std::vector<World::Impl::DiskOpen>> opens;
  const World::Impl::DiskOpen mine{request.access, request.share};
  std::size_t slot = 0;
  {
    std::lock_guard<std::mutex> lock(w.mu);
    auto it = w.disks.find(number);
    if (it == w.disks.end()) {
      error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    if (request.disposition != OPEN_EXISTING) {
      error = ERROR_INVALID_PARAMETER;
      return nullptr;
    }
    drive = it->second.drive;
    if (drive.readDenied && Reads(request.access)) {
      error = ERROR_ACCESS_DENIED;
      return nullptr;
    }
    opens = it->second.opens;
    for (const auto& other : *opens)
      if (Conflicts(mine, other)) {
        error = ERROR_SHARING_VIOLATION;
        return nullptr;
      }
    // Claimed under the lock, so that two opens cannot both pass the check.
    auto freeSlot = std::find_if(opens->begin(), opens->end(), [](const auto& o) {
      return o.access == 0 && o.share == (FILE_SHARE_READ | FILE_SHARE_WRITE);
    });
    if (freeSlot == opens->end()) freeSlot = opens->insert(opens->end(), mine);
    else *freeSlot = mine;
    slot = static_cast<std::size_t>(freeSlot - opens->begin());
  }
  auto backing = OpenHostFile(drive.backingFile, OpenRequest{drive.backingFile, GENERIC_READ,
                                                             FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                             OPEN_EXISTING, 0},
                              error);
  if (!backing) {
    std::lock_guard<std::mutex> lock(w.mu);
    (*opens)[slot] = {0, FILE_SHARE_READ | FILE_SHARE_WRITE};
    error = ERROR_NOT_READY;  // no medium behind the device
    return nullptr;
  }
  return std::make_unique<DiskObject>(number, std::move(backing), drive, request.access,
                                      std::move(opens), slot);
}

}  // namespace sim
