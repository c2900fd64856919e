#include "phantom/removal.h"

void RequestAbort(RemovalJob& job) {
  bool locked = job.abortLock.Lock(100);
  job.aborted = 1;
  if (locked) job.abortLock.Unlock();
}

bool AbortRequested(RemovalJob& job) {
  bool locked = job.abortLock.Lock(100);
  std::int32_t value = job.aborted;
  if (locked) job.abortLock.Unlock();
  return value == 1;
}

std::uint32_t ProgressStep(std::uint32_t remaining) {
  if (remaining < 100) return 1;
  if (remaining < 1000) return 10;
  if (remaining < 10000) return 100;
  return 1000;
}

std::uint32_t CountFailed(const RemovalJob& job) {
  std::uint32_t n = 0;
  for (const auto& r : job.records) n += IsSelected(*r) && r->removed == 0 ? 1 : 0;
  return n;
}

std::uint64_t SelectedRecordIndex::Hash(const plat::WCHAR* deviceId) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (const plat::WCHAR* p = deviceId; *p; ++p) h = (h ^ static_cast<std::uint64_t>(*p)) * 1099511628211ull;
  return h;
}

SelectedRecordIndex::SelectedRecordIndex(RemovalJob& job) {
  std::size_t size = 16;
  while (size < 2 * job.records.size()) size *= 2;
  slots_.assign(size, Slot{0, nullptr});
  mask_ = size - 1;
  for (auto& r : job.records) {
    if (!IsSelected(*r)) continue;
    const std::uint64_t h = Hash(r->deviceId);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (!slot.record) {
        slot = {h, r.get()};
        break;
      }
      if (slot.hash == h && SameDeviceId(*slot.record, r->deviceId)) break;  // the first one stays
    }
  }
}

PhantomRecord* SelectedRecordIndex::Find(const plat::WCHAR* deviceId) const {
  const std::uint64_t h = Hash(deviceId);
  for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots_[i];
    if (!slot.record) return nullptr;
    if (slot.hash == h && SameDeviceId(*slot.record, deviceId)) return slot.record;
  }
}

std::uint32_t RemovePhantoms(RemovalJob& job) { return RemovePhantomsWith<SelectedRecordIndex>(job); }

fw::UINT RemovalThreadProc(void* removalJob) {
  auto& job = *static_cast<RemovalJob*>(removalJob);
  RemovePhantoms(job);
  if (job.notifyWindow) fw::backend::PostMessage(job.notifyWindow, WM_REMOVAL_FINISHED, 0, 0);
  return 0;
}
