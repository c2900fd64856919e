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

SelectedRecordIndex::SelectedRecordIndex(RemovalJob& job)
    : records_(job.records), answers_(job.records.size(), 0) {
  std::size_t size = 16;
  while (size < 2 * records_.size()) size *= 2;
  slots_.assign(size, Slot{0, 0, 0});
  mask_ = size - 1;
  for (std::size_t position = 0; position < records_.size(); ++position) {
    const PhantomRecord& r = *records_[position];
    if (!IsSelected(r)) continue;
    const std::uint64_t h = Hash(r.deviceId);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (!slot.used) {
        slot = {h, static_cast<std::uint32_t>(position), 1};
        answers_[position] = 1;
        break;
      }
      if (slot.hash == h && SameDeviceId(*records_[slot.position], r.deviceId)) break;  // the first stays
    }
  }
}

PhantomRecord* SelectedRecordIndex::Find(const plat::WCHAR* deviceId) {
  if (next_ < records_.size() && answers_[next_] && SameDeviceId(*records_[next_], deviceId))
    return records_[next_++].get();
  const std::uint64_t h = Hash(deviceId);
  for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots_[i];
    if (!slot.used) return nullptr;
    if (slot.hash == h && SameDeviceId(*records_[slot.position], deviceId)) {
      next_ = slot.position + 1;
      return records_[slot.position].get();
    }
  }
}

std::uint32_t RemovePhantoms(RemovalJob& job) { return RemovePhantomsWith<SelectedRecordIndex>(job); }

fw::UINT RemovalThreadProc(void* removalJob) {
  auto& job = *static_cast<RemovalJob*>(removalJob);
  RemovePhantoms(job);
  if (job.notifyWindow) fw::backend::PostMessage(job.notifyWindow, WM_REMOVAL_FINISHED, 0, 0);
  return 0;
}
