// The drive list behind the three source selectors: which drives are listed
// at start-up, how letters group by device, and how volume broadcasts change
// the list.
#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"
#include "storage/drive_list.h"

using namespace plat;

namespace {

constexpr int kSelectors[] = {1016, 1028, 1033};

sim::World::Volume Vol(DWORD number, UINT type = DRIVE_REMOVABLE, bool media = true) {
  sim::World::Volume v;
  v.driveType = type;
  v.deviceNumber = number;
  v.media = media;
  return v;
}

DEV_BROADCAST_VOLUME Broadcast(const std::string& letters) {
  DEV_BROADCAST_VOLUME b{};
  b.dbcv_size = sizeof b;
  b.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  for (char c : letters) b.dbcv_unitmask |= 1u << (c - 'A');
  return b;
}

class DrivesTest : public DialogTest {
 protected:
  // What every selector shows: the same items, data and selection.
  void ExpectSelectors(const std::vector<std::wstring>& items,
                       const std::vector<std::uintptr_t>& data) {
    for (int id : kSelectors) {
      SCOPED_TRACE(id);
      EXPECT_EQ(hl::Items(*dlg, id), items);
      EXPECT_EQ(hl::ItemData(*dlg, id), data);
      EXPECT_EQ(hl::CurSel(*dlg, id), items.empty() ? -1 : 0);
    }
  }
  fw::LRESULT Send(WPARAM event, const std::string& letters) {
    DEV_BROADCAST_VOLUME b = Broadcast(letters);
    return hl::Deliver(*dlg, fw::WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&b));
  }
};

TEST_F(DrivesTest, StartUpListsRemovableDrivesWithMediaOnly) {
  world->AddVolume('C', Vol(0, DRIVE_FIXED));
  world->AddVolume('D', Vol(1, DRIVE_CDROM));
  world->AddVolume('E', Vol(3));
  world->AddVolume('F', Vol(4, DRIVE_REMOVABLE, /*media=*/false));  // empty card-reader slot
  world->AddVolume('G', Vol(2));
  world->AddVolume('N', Vol(5, DRIVE_REMOTE));
  world->AddVolume('R', Vol(6, DRIVE_RAMDISK));
  Open();
  // G (device 2) and E (device 3): sorted by text, data the device number.
  ExpectSelectors({L"E", L"G"}, {3, 2});
  EXPECT_EQ(dlg->Drives().size(), 2u);
  EXPECT_EQ(world->OpenIoHandles(), 0);
}

TEST_F(DrivesTest, LettersOfOneDeviceShareAnItemInAscendingOrder) {
  world->AddVolume('F', Vol(7));
  world->AddVolume('E', Vol(7));
  world->AddVolume('H', Vol(1));
  world->AddVolume('B', Vol(9));
  Open();
  ExpectSelectors({L"B", L"EF", L"H"}, {9, 7, 1});
  ASSERT_EQ(dlg->Drives().size(), 3u);
  std::vector<DWORD> keys;
  for (const auto& [number, entry] : dlg->Drives()) {
    EXPECT_EQ(number, entry.deviceNumber);
    keys.push_back(number);
  }
  EXPECT_EQ(keys, (std::vector<DWORD>{1, 7, 9}));
}

TEST_F(DrivesTest, OpensEachVolumeWithTheAccessItsRequestNeeds) {
  world->AddVolume('E', Vol(3));
  DWORD number = 0;
  ASSERT_TRUE(IsVolumeMediaReady('E'));
  ASSERT_TRUE(QueryVolumeDeviceNumber('E', number));
  EXPECT_EQ(number, 3u);
  auto opens = world->FileOpens();
  ASSERT_EQ(opens.size(), 2u);
  for (const auto& o : opens) {
    EXPECT_EQ(o.path, u"\\\\.\\E:");
    EXPECT_EQ(o.share, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(o.disposition, OPEN_EXISTING);
    EXPECT_EQ(o.flags, 0u);
  }
  EXPECT_EQ(opens[0].access, FILE_READ_DATA);  // the media check reads
  EXPECT_EQ(opens[1].access, 0u);              // the number is a query
  EXPECT_EQ(world->OpenIoHandles(), 0);
}

TEST_F(DrivesTest, FailuresLeaveDrivesOutSilently) {
  struct Case {
    const char* name;
    void (*fail)(sim::World&);
    std::vector<std::wstring> items;
  } cases[] = {
      {"no drive strings",
       [](sim::World& w) { w.FailCall("GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY); },
       {}},
      {"volume does not open",
       [](sim::World& w) { w.FailCall("CreateFileA", ERROR_ACCESS_DENIED); },
       {L"F"}},
      {"media check refused",
       [](sim::World& w) {
         auto v = w.VolumeAt('E');
         v.refused[IOCTL_STORAGE_CHECK_VERIFY] = ERROR_NOT_SUPPORTED;
         w.AddVolume('E', v);
       },
       {L"F"}},
      {"device number refused",
       [](sim::World& w) {
         auto v = w.VolumeAt('E');
         v.refused[IOCTL_STORAGE_GET_DEVICE_NUMBER] = ERROR_INVALID_FUNCTION;
         w.AddVolume('E', v);
       },
       {L"F"}},
      // The number query opens the volume a second time: the third open.
      {"second open fails",
       [](sim::World& w) { w.FailCall("CreateFileA", ERROR_SHARING_VIOLATION, 2); },
       {L"F"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    w->AddVolume('E', Vol(1));
    w->AddVolume('F', Vol(2));
    c.fail(*w);
    CTidewellDlg d;
    hl::Open(d);
    for (int id : kSelectors) EXPECT_EQ(hl::Items(d, id), c.items) << id;
    EXPECT_TRUE(hl::MessageBoxesShown().empty());
    EXPECT_EQ(w->OpenIoHandles(), 0);
    hl::Close(d);
  }
}

TEST_F(DrivesTest, ListingAsksForTheDriveStringsOnceWithItsBuffer) {
  // Drive strings longer than the buffer: the platform asks for more room
  // and the listing gives up with nothing.
  for (char c = 'A'; c <= 'Z'; ++c) world->AddVolume(c, Vol(static_cast<DWORD>(c)));
  std::string letters = "unchanged";
  ASSERT_TRUE(ListRemovableDriveLetters(letters));
  EXPECT_EQ(letters, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(world->CallCount("GetLogicalDriveStringsA"), 1);
  world->FailCall("GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(ListRemovableDriveLetters(letters));
  EXPECT_EQ(letters, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  DriveList list;
  world->FailCall("GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(BuildDriveList(list));
  EXPECT_TRUE(list.empty());
}

TEST_F(DrivesTest, UnitMasksDecodeToAscendingLetters) {
  struct Case {
    DWORD mask;
    const char* letters;
  } cases[] = {
      {0, ""},          {1, "A"},        {0x10, "E"},
      {0x30, "EF"},     {1u << 25, "Z"}, {0x03FFFFFF, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
      {0xFC000000, ""},  // bits above Z name no letter
  };
  for (const Case& c : cases) {
    DEV_BROADCAST_VOLUME b{};
    b.dbcv_unitmask = c.mask;
    EXPECT_EQ(UnitMaskToLetters(b), c.letters) << std::hex << c.mask;
  }
}

TEST_F(DrivesTest, ArrivalsAndRemovalsFollowTheBroadcasts) {
  world->AddVolume('G', Vol(2));
  Open();
  ExpectSelectors({L"G"}, {2});

  // Two volumes of one new device in one broadcast: the higher letter first.
  world->AddVolume('E', Vol(3));
  world->AddVolume('F', Vol(3));
  Send(DBT_DEVICEARRIVAL, "EF");
  ExpectSelectors({L"FE", L"G"}, {3, 2});

  // A fixed volume arriving later is listed: arrivals test media only.
  world->AddVolume('H', Vol(5, DRIVE_FIXED));
  // A volume without media is not.
  world->AddVolume('K', Vol(6, DRIVE_REMOVABLE, false));
  Send(DBT_DEVICEARRIVAL, "HK");
  ExpectSelectors({L"FE", L"G", L"H"}, {3, 2, 5});

  // A second arrival for a listed letter does not list it twice.
  Send(DBT_DEVICEARRIVAL, "E");
  ExpectSelectors({L"FE", L"G", L"H"}, {3, 2, 5});

  // A removal deletes one letter; the last letter takes the item with it.
  world->RemoveVolume('F');
  Send(DBT_DEVICEREMOVECOMPLETE, "F");
  ExpectSelectors({L"E", L"G", L"H"}, {3, 2, 5});
  world->RemoveVolume('G');
  Send(DBT_DEVICEREMOVECOMPLETE, "G");
  ExpectSelectors({L"E", L"H"}, {3, 5});

  // An unknown letter changes nothing, but every selection returns to the
  // first item.
  hl::Select(*dlg, 1028, 1);
  Send(DBT_DEVICEREMOVECOMPLETE, "Q");
  ExpectSelectors({L"E", L"H"}, {3, 5});

  // An arrival whose volume gives no device number is left out.
  sim::World::Volume odd = Vol(8);
  odd.refused[IOCTL_STORAGE_GET_DEVICE_NUMBER] = ERROR_INVALID_FUNCTION;
  world->AddVolume('M', odd);
  Send(DBT_DEVICEARRIVAL, "M");
  ExpectSelectors({L"E", L"H"}, {3, 5});

  world->RemoveVolume('E');
  world->RemoveVolume('H');
  Send(DBT_DEVICEREMOVECOMPLETE, "EH");
  ExpectSelectors({}, {});
  EXPECT_EQ(world->OpenIoHandles(), 0);
}

TEST_F(DrivesTest, OnlyVolumeArrivalsAndRemovalsAreLookedAtAndAllReachTheFramework) {
  world->AddVolume('E', Vol(3));
  Open();
  world->AddVolume('F', Vol(4));
  struct Case {
    const char* name;
    WPARAM event;
    DWORD type;
    DWORD size;
  } cases[] = {
      {"query remove", 0x8001, DBT_DEVTYP_VOLUME, sizeof(DEV_BROADCAST_VOLUME)},
      {"remove pending", 0x8003, DBT_DEVTYP_VOLUME, sizeof(DEV_BROADCAST_VOLUME)},
      {"device interface", DBT_DEVICEARRIVAL, 5, sizeof(DEV_BROADCAST_VOLUME)},
      {"port", DBT_DEVICEARRIVAL, 3, sizeof(DEV_BROADCAST_VOLUME)},
      {"a record too short for a volume", DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME,
       sizeof(DEV_BROADCAST_HDR)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DEV_BROADCAST_VOLUME b = Broadcast("F");
    b.dbcv_devicetype = c.type;
    b.dbcv_size = c.size;
    hl::Deliver(*dlg, fw::WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(hl::Items(*dlg, 1016), std::vector<std::wstring>{L"E"});
  }
  // No record at all (DBT_DEVNODES_CHANGED carries none).
  hl::Deliver(*dlg, fw::WM_DEVICECHANGE, 0x0007, 0);
  hl::Deliver(*dlg, fw::WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  EXPECT_EQ(hl::Items(*dlg, 1016), std::vector<std::wstring>{L"E"});
  Send(DBT_DEVICEARRIVAL, "F");
  EXPECT_EQ(hl::Items(*dlg, 1016), (std::vector<std::wstring>{L"E", L"F"}));
}

TEST_F(DrivesTest, RemovingALetterTakesItFromTheFirstEntryHoldingIt) {
  DriveList list;
  list[1] = {1, "EF"};
  list[4] = {4, "G"};
  RemoveDriveLetter(list, 'F');
  EXPECT_EQ(list.at(1).letters, "E");
  RemoveDriveLetter(list, 'E');
  EXPECT_EQ(list.count(1), 0u);
  RemoveDriveLetter(list, 'Z');
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.at(4).letters, "G");
}

TEST_F(DrivesTest, BuildsTheListAtItsPlaceInTheInitialisation) {
  world->AddVolume('E', Vol(3));
  Open();
  const hl::Log& log = hl::EventLog(*dlg);
  auto at = [&](const std::wstring& entry) {
    return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
  };
  // The selectors fill after the speed test's reset and before the window shows.
  EXPECT_LT(at(L"1027 send 0xF1 0"), at(L"1016 send 0x14B 0"));
  EXPECT_LT(at(L"1016 send 0x14B 0"), at(L"1033 send 0x14E 0"));
  EXPECT_LT(at(L"1033 send 0x14E 0"), at(L"shown"));
  // The volume was queried after the census and the image progress reset.
  EXPECT_LT(at(L"1020 send 0x402 0"), at(L"1016 send 0x14B 0"));
}

}  // namespace
