#include "phantom/census.h"

#include <string>

using namespace plat;

const PhantomClass PhantomClassTable[6] = {
    {&GUID_DEVCLASS_DISKDRIVE, 1007}, {&GUID_DEVCLASS_VOLUME, 1008},
    {&GUID_DEVCLASS_USB, 1009},       {&GUID_DEVCLASS_CDROM, 1011},
    {&GUID_DEVCLASS_SCSIADAPTER, 1013}, {&GUID_DEVCLASS_VOLUMESNAPSHOT, 1010},
};

bool KeyTimeToTimeValue(const FILETIME& lastWrite, std::int64_t& timeValue) {
  SYSTEMTIME utc{}, local{};
  if (!FileTimeToSystemTime(&lastWrite, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
  if (local.wYear < 1900) {
    timeValue = 0;
    return true;
  }
  std::tm fields{};
  fields.tm_year = local.wYear - 1900;
  fields.tm_mon = local.wMonth - 1;
  fields.tm_mday = local.wDay;
  fields.tm_hour = local.wHour;
  fields.tm_min = local.wMinute;
  fields.tm_sec = local.wSecond;
  fields.tm_isdst = -1;
  std::int64_t t = plat::_mktime64(&fields);
  if (t == -1) return false;
  timeValue = t;
  return true;
}

namespace {

enum class DeviceOutcome { Next, KeyFailed, Stop };

// Dates the phantom whose blank record is `record`; leaves the record blank
// on every failure.
DeviceOutcome DatePhantom(DEVINST devInst, const GUID& classGuid, PhantomRecord& record) {
  WCHAR id[MAX_DEVICE_ID_LEN] = {};
  if (CM_Get_Device_IDW(devInst, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return DeviceOutcome::Next;
  std::u16string path = u"SYSTEM\\CurrentControlSet\\Enum\\";
  path += id;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return DeviceOutcome::KeyFailed;
  UniqueRegKey key(raw);
  FILETIME lastWrite{};
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, &lastWrite) != ERROR_SUCCESS)
    return DeviceOutcome::KeyFailed;
  std::int64_t written = 0;
  if (!KeyTimeToTimeValue(lastWrite, written)) return DeviceOutcome::Stop;
  std::int64_t now = plat::_time64(nullptr);
  std::copy(std::begin(id), std::end(id), record.deviceId);
  record.ageSeconds = now - written;
  record.dated = 1;
  record.categoryChecked = 1;
  record.oldEnough = 1;
  record.lastError = 0;
  record.removed = 0;
  record.classGuid = classGuid;
  return DeviceOutcome::Next;
}

}  // namespace

bool RunPhantomCensus(RemovalJob& job, bool* stoppedEarly) {
  bool keyFailed = false;
  bool stopped = false;
  WalkClassDevices([&](const PhantomClass& row, HDEVINFO, const SP_DEVINFO_DATA& data) {
    if (!IsPhantomNode(data.DevInst)) return true;
    job.records.push_back(std::make_unique<PhantomRecord>());
    switch (DatePhantom(data.DevInst, *row.classGuid, *job.records.back())) {
      case DeviceOutcome::Next: return true;
      case DeviceOutcome::KeyFailed: keyFailed = true; return true;
      case DeviceOutcome::Stop: stopped = true; return false;
    }
    return true;
  });
  if (stoppedEarly) *stoppedEarly = stopped;
  return !keyFailed;
}

void ClearPhantomList(RemovalJob& job) {
  job.notifyWindow = nullptr;
  job.records.clear();
  job.aborted = 0;
}

bool SameDeviceId(const PhantomRecord& record, const WCHAR* deviceId) {
  for (std::size_t i = 0; i < MAX_DEVICE_ID_LEN; ++i) {
    if (record.deviceId[i] != deviceId[i]) return false;
    if (deviceId[i] == 0) return true;
  }
  return false;
}

std::uint32_t CountSelected(const RemovalJob& job) {
  std::uint32_t n = 0;
  for (const auto& r : job.records) n += IsSelected(*r) ? 1 : 0;
  return n;
}

std::uint32_t CountSelectedInClass(const RemovalJob& job, const GUID& classGuid) {
  std::uint32_t n = 0;
  for (const auto& r : job.records) n += IsSelected(*r) && r->classGuid == classGuid ? 1 : 0;
  return n;
}
