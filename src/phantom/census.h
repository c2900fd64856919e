// The phantom list: one record per device node of the six setup classes
// whose device is no longer present, with its age and selection flags.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/framework.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"

struct PhantomRecord {
  plat::WCHAR deviceId[plat::MAX_DEVICE_ID_LEN] = {};  // empty in a blank record
  std::int64_t ageSeconds = 0;  // census time minus the key's last write
  std::int32_t dated = 0;
  std::int32_t categoryChecked = 0;
  std::int32_t oldEnough = 0;
  std::uint32_t lastError = 0;  // of a failed removal
  std::int32_t removed = 0;
  plat::GUID classGuid{};  // all zero in a blank record
};

struct PhantomClass {
  const plat::GUID* classGuid;
  int checkBoxId;  // the category box of the dialog
};

// Census order; the removal walks the same order.
extern const PhantomClass PhantomClassTable[6];

struct RemovalJob {
  fw::CMutex abortLock{false, L"IsAborted"};  // guards `aborted`
  // Atomic as well, so that a wait on the lock that runs out does not leave
  // the two threads racing on a plain integer.
  std::atomic<std::int32_t> aborted{0};
  std::vector<std::unique_ptr<PhantomRecord>> records;  // census order
  fw::HWND notifyWindow = nullptr;
};

// Appends a record for every phantom found (it does not clear first).
// False when the registry key of at least one phantom could not be opened or
// queried. A last-write time that cannot be converted to a time value stops
// the census there, keeping what it found; `stoppedEarly` then reads true.
bool RunPhantomCensus(RemovalJob& job, bool* stoppedEarly = nullptr);

void ClearPhantomList(RemovalJob& job);

// Code unit for code unit, no case folding.
bool SameDeviceId(const PhantomRecord& record, const plat::WCHAR* deviceId);

inline bool IsSelected(const PhantomRecord& r) { return r.categoryChecked == 1 && r.oldEnough == 1; }

std::uint32_t CountSelected(const RemovalJob& job);
// Selected records of one class.
std::uint32_t CountSelectedInClass(const RemovalJob& job, const plat::GUID& classGuid);

// Walks every node the platform knows in the six classes, present or not,
// in census order: `visit(row, set, data)` for each, until it returns false.
// A class whose device information set cannot be had is skipped.
template <class Visit>
void WalkClassDevices(Visit&& visit) {
  for (const PhantomClass& row : PhantomClassTable) {
    plat::UniqueDevInfo set(plat::SetupDiGetClassDevsW(row.classGuid, nullptr, nullptr, 0));
    if (!set) continue;
    plat::SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(plat::SP_DEVINFO_DATA);
    for (plat::DWORD i = 0; plat::SetupDiEnumDeviceInfo(set.get(), i, &data); ++i)
      if (!visit(row, set.get(), data)) return;
  }
}

// A node whose device is gone: the status call cannot find it.
inline bool IsPhantomNode(plat::DEVINST devInst) {
  plat::ULONG status = 0, problem = 0;
  plat::CONFIGRET cr = plat::CM_Get_DevNode_Status(&status, &problem, devInst, 0);
  return cr == plat::CR_NO_SUCH_DEVINST || cr == plat::CR_NO_SUCH_VALUE;
}

// Converts a key's last-write time to a time value through the local
// calendar, as the census dates a phantom: 0 for a local year before 1900,
// false when the time cannot be converted.
bool KeyTimeToTimeValue(const plat::FILETIME& lastWrite, std::int64_t& timeValue);
