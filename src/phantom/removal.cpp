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

SelectedRecordIndex::SelectedRecordIndex(RemovalJob& job) {
  first_.reserve(job.records.size());
  for (auto& r : job.records)
    if (IsSelected(*r)) first_.emplace(r->deviceId, r.get());  // keeps the first in list order
}

PhantomRecord* SelectedRecordIndex::Find(const plat::WCHAR* deviceId) const {
  auto it = first_.find(deviceId);
  return it == first_.end() ? nullptr : it->second;
}

std::uint32_t RemovePhantoms(RemovalJob& job) { return RemovePhantomsWith<SelectedRecordIndex>(job); }

fw::UINT RemovalThreadProc(void* removalJob) {
  auto& job = *static_cast<RemovalJob*>(removalJob);
  RemovePhantoms(job);
  if (job.notifyWindow) fw::backend::PostMessage(job.notifyWindow, WM_REMOVAL_FINISHED, 0, 0);
  return 0;
}
