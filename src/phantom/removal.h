// Removal of the selected phantoms through the class installer, on the
// removal worker.
#pragma once

#include <cstdint>
#include <vector>

#include "phantom/census.h"
#include "ui/messages.h"

// The abort protocol: each side takes the lock for at most 100 ms and goes
// on without it when the wait runs out.
void RequestAbort(RemovalJob& job);
bool AbortRequested(RemovalJob& job);

// The progress step for a remaining count: a message is posted only when
// the remaining count is a multiple of it.
std::uint32_t ProgressStep(std::uint32_t remaining);

// Selected records not removed.
std::uint32_t CountFailed(const RemovalJob& job);

// The worker's entry: removes, then posts WM_REMOVAL_FINISHED.
fw::UINT RemovalThreadProc(void* removalJob);

// The first selected record, in list order, with a device ID; built once
// per run, since the selection cannot change while the run goes on.
class SelectedRecordIndex {
 public:
  explicit SelectedRecordIndex(RemovalJob& job);
  PhantomRecord* Find(const plat::WCHAR* deviceId);

 private:
  // Open addressing over the IDs' hashes, at most half full: a lookup reads
  // one slot and the one record it names, whatever the size of the list.
  struct Slot {
    std::uint64_t hash;
    std::uint32_t position;  // in the list
    std::uint32_t used;
  };
  static std::uint64_t Hash(const plat::WCHAR* deviceId);
  const std::vector<std::unique_ptr<PhantomRecord>>& records_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  // The platform enumerates a class as the census found it, so the next
  // device is most often the record after the last one found: tried first,
  // it spares the table. Only records that are the first selected one of
  // their ID may answer that way.
  std::vector<std::uint8_t> answers_;
  std::size_t next_ = 0;
};

// Removes every device that is still a phantom and whose record is
// selected; returns the number removed. `Index` finds a device's record.
template <class Index>
std::uint32_t RemovePhantomsWith(RemovalJob& job) {
  using namespace plat;
  const std::uint32_t selected = CountSelected(job);
  std::uint32_t removedCount = 0;
  Index index(job);
  WalkClassDevices([&](const PhantomClass&, HDEVINFO set, SP_DEVINFO_DATA& data) {
    WCHAR id[MAX_DEVICE_ID_LEN] = {};
    if (IsPhantomNode(data.DevInst) && !job.records.empty() &&
        CM_Get_Device_IDW(data.DevInst, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS) {
      if (PhantomRecord* record = index.Find(id)) {  // at most one attempt per device
        if (SetupDiCallClassInstaller(DIF_REMOVE, set, &data)) {
          ++removedCount;
          record->removed = 1;
          record->lastError = 0;
          const std::uint32_t remaining = selected - removedCount;
          if (job.notifyWindow && remaining % ProgressStep(remaining) == 0)
            fw::backend::PostMessage(job.notifyWindow, WM_REMOVAL_PROGRESS, remaining, 0);
        } else {
          const DWORD error = GetLastError();
          record->removed = 0;
          record->lastError = error;
        }
      }
    }
    return !AbortRequested(job);  // after every device walked
  });
  return removedCount;
}

std::uint32_t RemovePhantoms(RemovalJob& job);
