#include <string>

#include "fixture.h"
#include "phantom/census.h"

using namespace plat;

namespace {

class CensusTest : public SimTest {
 protected:
  std::u16string IdOf(std::size_t i) const {
    return std::u16string(job.records[i]->deviceId);
  }
  RemovalJob job;
};

FILETIME Plus100ns(FILETIME ft, std::uint64_t units) {
  std::uint64_t v = ((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) + units;
  return {static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

bool IsBlank(const PhantomRecord& r) {
  PhantomRecord blank;
  return r.deviceId[0] == 0 && r.ageSeconds == 0 && r.dated == 0 && r.categoryChecked == 0 &&
         r.oldEnough == 0 && r.lastError == 0 && r.removed == 0 && r.classGuid == blank.classGuid;
}

TEST_F(CensusTest, ThePhantomIsTheNodeWhoseStatusCallSaysItIsGone) {
  struct Case {
    CONFIGRET status;
    bool listed;
  } cases[] = {
      {CR_NO_SUCH_DEVINST, true}, {CR_NO_SUCH_VALUE, true}, {CR_SUCCESS, false},
      {CR_INVALID_DEVINST, false}, {0x13 /* CR_FAILURE */, false}, {0x1F /* CR_NO_SUCH_REGISTRY_KEY */, false},
  };
  for (const Case& c : cases) {
    std::size_t i = world->AddPhantom(GUID_DEVCLASS_USB, Id("USB\\VID_1&PID_" + std::to_string(c.status)), 100);
    world->SetStatus(i, c.status);
  }
  EXPECT_TRUE(RunPhantomCensus(job));
  std::vector<std::u16string> listed;
  for (std::size_t i = 0; i < job.records.size(); ++i) listed.push_back(IdOf(i));
  EXPECT_EQ(listed, (std::vector<std::u16string>{Id("USB\\VID_1&PID_13"), Id("USB\\VID_1&PID_37")}));
  EXPECT_EQ(world->OpenDeviceInfoSets(), 0);
  EXPECT_EQ(world->OpenKeys(), 0);
}

TEST_F(CensusTest, CompleteRecordsFollowClassOrderThenEnumerationOrder) {
  // Added out of class order: the census walks disk drives, volumes, USB,
  // optical drives, SCSI adapters, volume snapshots.
  world->AddPhantom(GUID_DEVCLASS_VOLUMESNAPSHOT, u"STORAGE\\VOLUMESNAPSHOT\\HARDDISKVOLUMESNAPSHOT1", 10);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\VID_0781&PID_5567\\A", 20);
  world->AddPresent(GUID_DEVCLASS_USB, u"USB\\ROOT_HUB30\\4&1");
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"USBSTOR\\DISK&VEN_SANDISK\\1", 30);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\VID_0781&PID_5567\\B", 40);
  world->AddPhantom(GUID_DEVCLASS_SCSIADAPTER, u"PCI\\VEN_1000", 50);
  world->AddPhantom(GUID_DEVCLASS_CDROM, u"USBSTOR\\CDROM&VEN_X\\1", 60);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"STORAGE\\VOLUME\\_??_USBSTOR#DISK", 70);

  EXPECT_TRUE(RunPhantomCensus(job));
  ASSERT_EQ(job.records.size(), 7u);
  struct Expect {
    const char16_t* id;
    const GUID* cls;
    std::int64_t age;
  } expected[] = {
      {u"USBSTOR\\DISK&VEN_SANDISK\\1", &GUID_DEVCLASS_DISKDRIVE, 30},
      {u"STORAGE\\VOLUME\\_??_USBSTOR#DISK", &GUID_DEVCLASS_VOLUME, 70},
      {u"USB\\VID_0781&PID_5567\\A", &GUID_DEVCLASS_USB, 20},
      {u"USB\\VID_0781&PID_5567\\B", &GUID_DEVCLASS_USB, 40},
      {u"USBSTOR\\CDROM&VEN_X\\1", &GUID_DEVCLASS_CDROM, 60},
      {u"PCI\\VEN_1000", &GUID_DEVCLASS_SCSIADAPTER, 50},
      {u"STORAGE\\VOLUMESNAPSHOT\\HARDDISKVOLUMESNAPSHOT1", &GUID_DEVCLASS_VOLUMESNAPSHOT, 10},
  };
  for (std::size_t i = 0; i < 7; ++i) {
    const PhantomRecord& r = *job.records[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(IdOf(i), expected[i].id);
    EXPECT_TRUE(r.classGuid == *expected[i].cls);
    EXPECT_EQ(r.ageSeconds, expected[i].age);
    EXPECT_EQ(r.dated, 1);
    EXPECT_EQ(r.categoryChecked, 1);
    EXPECT_EQ(r.oldEnough, 1);
    EXPECT_EQ(r.lastError, 0u);
    EXPECT_EQ(r.removed, 0);
  }
}

TEST_F(CensusTest, UnreadablePhantomsStayAsBlankRecords) {
  struct Case {
    const char* name;
    void (*arrange)(sim::World&);
    bool result;
  } cases[] = {
      {"instance ID unreadable", [](sim::World& w) { w.FailCall("CM_Get_Device_IDW", CR_BUFFER_SMALL, 1); }, true},
      {"key missing", [](sim::World& w) { w.RemoveKey(u"USB\\B"); }, false},
      {"key open refused", [](sim::World& w) { w.FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED, 1); }, false},
      {"key query fails", [](sim::World& w) { w.FailCall("RegQueryInfoKeyW", ERROR_ACCESS_DENIED, 1); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    w->AddPhantom(GUID_DEVCLASS_USB, u"USB\\A", 5);
    w->AddPhantom(GUID_DEVCLASS_USB, u"USB\\B", 5);
    w->AddPhantom(GUID_DEVCLASS_USB, u"USB\\C", 5);
    c.arrange(*w);
    RemovalJob j;
    EXPECT_EQ(RunPhantomCensus(j), c.result);
    ASSERT_EQ(j.records.size(), 3u);
    EXPECT_EQ(std::u16string(j.records[0]->deviceId), u"USB\\A");
    EXPECT_TRUE(IsBlank(*j.records[1]));
    EXPECT_EQ(std::u16string(j.records[2]->deviceId), u"USB\\C");
    EXPECT_EQ(w->OpenKeys(), 0);
    EXPECT_EQ(w->OpenDeviceInfoSets(), 0);
  }
}

TEST_F(CensusTest, AgeIsTheCensusTimeMinusTheKeysLastWriteThroughTheLocalCalendar) {
  const std::int64_t now = 1765000000;  // 2025-12-06 05:46:40 UTC
  struct Case {
    const char* name;
    FILETIME written;
    int utcOffsetMinutes;
    std::int64_t age;
  } cases[] = {
      {"written in the census second", sim::FileTimeFromUnix(now), 0, 0},
      {"a day old", sim::FileTimeFromUnix(now - 86400), 0, 86400},
      {"a day old, east of Greenwich", sim::FileTimeFromUnix(now - 86400), 120, 86400},
      {"a day old, west of Greenwich", sim::FileTimeFromUnix(now - 86400), -300, 86400},
      {"written after the census (clock set back)", sim::FileTimeFromUnix(now + 3600), 0, -3600},
      {"milliseconds are dropped", Plus100ns(sim::FileTimeFromUnix(now - 10), 9990000), 0, 10},
      {"zero time, local year 1601", {0, 0}, 0, now},
      {"year 1899", sim::FileTimeFromUnix(-2240524800LL /* 1899-01-01 */), 0, now},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    w->SetNow(now);
    w->SetUtcOffsetMinutes(c.utcOffsetMinutes);
    w->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"USBSTOR\\DISK\\1", 0);
    w->SetKeyTime(u"USBSTOR\\DISK\\1", c.written);
    RemovalJob j;
    EXPECT_TRUE(RunPhantomCensus(j));
    ASSERT_EQ(j.records.size(), 1u);
    EXPECT_EQ(j.records[0]->ageSeconds, c.age);
    EXPECT_EQ(j.records[0]->dated, 1);
  }
}

TEST_F(CensusTest, AnUnconvertibleTimeStopsTheCensusAndKeepsWhatItFound) {
  struct Case {
    const char* name;
    void (*arrange)(sim::World&);
  } cases[] = {
      {"local conversion fails", [](sim::World& w) { w.FailCall("SystemTimeToTzSpecificLocalTime", ERROR_INVALID_PARAMETER, 1); }},
      {"file time beyond the calendar", [](sim::World& w) { w.SetKeyTime(u"VOL\\2", {0xFFFFFFFFu, 0xFFFFFFFFu}); }},
      {"year 1950: before the time value's range",
       [](sim::World& w) { w.SetKeyTime(u"VOL\\2", sim::FileTimeFromUnix(-631152000LL)); }},
      {"year 3001: after the time value's range",
       [](sim::World& w) { w.SetKeyTime(u"VOL\\2", sim::FileTimeFromUnix(32535216000LL + 86400)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    w->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\1", 5);
    w->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\2", 5);
    w->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\3", 5);
    w->AddPhantom(GUID_DEVCLASS_CDROM, u"CD\\1", 5);
    c.arrange(*w);
    RemovalJob j;
    bool stopped = false;
    RunPhantomCensus(j, &stopped);
    EXPECT_TRUE(stopped);
    ASSERT_EQ(j.records.size(), 2u);  // neither VOL\3 nor the CD-ROM class was walked
    EXPECT_EQ(std::u16string(j.records[0]->deviceId), u"VOL\\1");
    EXPECT_TRUE(IsBlank(*j.records[1]));
    EXPECT_EQ(w->OpenKeys(), 0);
    EXPECT_EQ(w->OpenDeviceInfoSets(), 0);
  }
}

TEST_F(CensusTest, AClassThatCannotBeOpenedIsSkipped) {
  world->AddPhantom(GUID_DEVCLASS_DISKDRIVE, u"DISK\\1", 5);
  world->AddPhantom(GUID_DEVCLASS_VOLUME, u"VOL\\1", 5);
  world->BreakClass(GUID_DEVCLASS_DISKDRIVE);
  EXPECT_TRUE(RunPhantomCensus(job));
  ASSERT_EQ(job.records.size(), 1u);
  EXPECT_EQ(IdOf(0), u"VOL\\1");
}

TEST_F(CensusTest, NoPhantomGivesAnEmptyListAndTrue) {
  world->AddPresent(GUID_DEVCLASS_DISKDRIVE, u"DISK\\PRESENT");
  EXPECT_TRUE(RunPhantomCensus(job));
  EXPECT_TRUE(job.records.empty());
}

TEST_F(CensusTest, TheCensusAppendsAndClearingEmptiesTheJob) {
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\1", 5);
  world->AddPhantom(GUID_DEVCLASS_USB, u"USB\\2", 5);
  RunPhantomCensus(job);
  RunPhantomCensus(job);
  ASSERT_EQ(job.records.size(), 4u);
  EXPECT_EQ(IdOf(2), u"USB\\1");

  job.aborted = 1;
  job.notifyWindow = reinterpret_cast<fw::HWND>(0x1234);
  ClearPhantomList(job);
  EXPECT_TRUE(job.records.empty());
  EXPECT_EQ(job.aborted, 0);
  EXPECT_EQ(job.notifyWindow, nullptr);
}

TEST(SameDeviceId, ComparesCodeUnitForCodeUnit) {
  PhantomRecord r;
  const std::u16string id = u"USB\\VID_0781&PID_5567\\4C53";
  std::copy(id.begin(), id.end(), r.deviceId);
  EXPECT_TRUE(SameDeviceId(r, id.c_str()));
  EXPECT_FALSE(SameDeviceId(r, u"usb\\vid_0781&pid_5567\\4c53"));
  EXPECT_FALSE(SameDeviceId(r, u"USB\\VID_0781&PID_5567\\4C5"));
  EXPECT_FALSE(SameDeviceId(r, u"USB\\VID_0781&PID_5567\\4C53 "));
}

}  // namespace
