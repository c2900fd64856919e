// "Find Serial #": what the user sees for each answer of the device, and the
// demo's drives as the window lists them.
#include <string>
#include <vector>

#include "fixture.h"
#include "platform/sim/demo_scenario.h"
#include "storage/serial_number.h"
#include "storage/usb_port.h"

using namespace plat;

namespace {

const std::wstring kNotSelected = L"The source drive has not been selected.";
const std::wstring kProblem = L"There was a problem reading the serial number.";

class SerialTest : public DialogTest {
 protected:
  // E: (device 3) on port 1 of a hub, with this serial string.
  void AddDrive(const std::string& letters, DWORD number, DWORD port,
                const std::u16string& serial) {
    if (!hub) hub = world->AddHub(u"\\\\?\\usb#root_hub#1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    sim::World::UsbDrive d;
    d.letters = letters;
    d.deviceNumber = number;
    d.port = port;
    d.device.strings[d.device.iSerialNumber] = serial;
    world->AddUsbDrive(hub, d);
  }
  // Clicks the button; the message shown, if any.
  std::wstring Find() {
    std::size_t before = hl::MessageBoxesShown().size();
    hl::Click(*dlg, 1035);
    EXPECT_EQ(world->OpenIoHandles(), 0);
    EXPECT_EQ(world->OpenDeviceInfoSets(), 0);
    const auto& shown = hl::MessageBoxesShown();
    if (shown.size() == before) return {};
    EXPECT_EQ(shown.back().caption, L"Tidewell");
    EXPECT_EQ(shown.back().type, fw::MB_OK | fw::MB_ICONWARNING);
    return shown.back().text;
  }
  DEVINST hub = 0;
};

TEST_F(SerialTest, ShowsTheDevicesStringAsItReportsIt) {
  struct Case {
    const char* name;
    std::u16string descriptor;
    std::wstring shown;
  } cases[] = {
      {"plain", u"0123ABCD", L"0123ABCD"},
      {"kept as is", u" 4c53 0001-x ", L" 4c53 0001-x "},
      {"one character", u"A", L"X"},
      {"empty", u"", L"X"},
      {"first unit zero", std::u16string(u"\0B", 2), L"X"},
      {"second unit zero", std::u16string(u"A\0B", 3), L"X"},
      {"up to the first zero", std::u16string(u"AB\0CD", 5), L"AB"},
      // 1,023 units fill the 2,048 data bytes with no zero unit.
      {"fills the buffer", std::u16string(1023, u'S'), std::wstring(1023, L'S')},
      {"more than the buffer holds", std::u16string(1500, u'T'), std::wstring(1023, L'T')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScopedWorld w;
    DEVINST h = w->AddHub(u"\\\\?\\usb#hub");
    sim::World::UsbDrive d;
    d.letters = "E";
    d.deviceNumber = 3;
    d.device.strings[d.device.iSerialNumber] = c.descriptor;
    w->AddUsbDrive(h, d);
    std::u16string serial;
    ASSERT_TRUE(ReadUsbSerialNumber('E', serial));
    EXPECT_EQ(fw::FromU16(serial), c.shown);
    EXPECT_EQ(w->OpenIoHandles(), 0);
    EXPECT_EQ(w->OpenDeviceInfoSets(), 0);
  }
}

TEST_F(SerialTest, NoDriveListedAsksForASelection) {
  Open();
  EXPECT_EQ(Find(), kNotSelected);
  EXPECT_EQ(Text(1036), L"");
}

TEST_F(SerialTest, AFailedLookupKeepsTheEarlierSerialBesideItsMessage) {
  AddDrive("E", 3, 1, u"0123ABCD");
  Open();
  EXPECT_EQ(Find(), L"");
  EXPECT_EQ(Text(1036), L"0123ABCD");

  struct Case {
    const char* name;
    void (*fail)(sim::World&);
  } cases[] = {
      {"volume gone", [](sim::World& w) { w.RemoveVolume('E'); }},
      {"walk fails", [](sim::World& w) { w.FailCall("CM_Get_Parent", CR_NO_SUCH_DEVINST); }},
      {"hub refuses",
       [](sim::World& w) { w.FailCall("DeviceIoControl", ERROR_INVALID_FUNCTION, 4); }},
      {"string request stalls", [](sim::World& w) { w.FailCall("DeviceIoControl", 31, 5); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::World::Volume e = world->VolumeAt('E');
    c.fail(*world);
    EXPECT_EQ(Find(), kProblem);
    EXPECT_EQ(Text(1036), L"0123ABCD");
    world->AddVolume('E', e);
  }
}

TEST_F(SerialTest, APortWithoutADeviceClearsTheBox) {
  AddDrive("E", 3, 1, u"0123ABCD");
  Open();
  EXPECT_EQ(Find(), L"");
  sim::World::UsbPort empty;
  empty.connectionStatus = NoDeviceConnected;
  world->SetHubPort(hub, 1, empty);
  EXPECT_EQ(Find(), L"");
  EXPECT_EQ(Text(1036), L"");
}

TEST_F(SerialTest, LooksUpTheFirstLetterOfTheSerialSelectorsItem) {
  AddDrive("EF", 3, 1, u"FIRST0001");
  AddDrive("G", 4, 2, u"SECOND0002");
  Open();
  // The other two selectors point elsewhere; only 1033 counts.
  hl::Select(*dlg, 1016, 1);
  hl::Select(*dlg, 1028, 1);
  std::size_t opens = world->FileOpens().size();
  EXPECT_EQ(Find(), L"");
  EXPECT_EQ(Text(1036), L"FIRST0001");
  EXPECT_EQ(world->FileOpens()[opens].path, u"\\\\.\\E:");
  hl::Select(*dlg, 1033, 1);
  hl::Select(*dlg, 1016, 0);
  EXPECT_EQ(Find(), L"");
  EXPECT_EQ(Text(1036), L"SECOND0002");
}

TEST_F(SerialTest, TheDemosDrivesAnswerAsTheDemoDefinesThem) {
  BuildDemoWorld(*world);
  Open();
  for (int id : {1016, 1028, 1033}) {
    EXPECT_EQ(hl::Items(*dlg, id), (std::vector<std::wstring>{L"E", L"FG", L"H", L"I", L"J"}));
    EXPECT_EQ(hl::ItemData(*dlg, id), (std::vector<std::uintptr_t>{2, 3, 4, 5, 6}));
  }
  const std::wstring expected[][2] = {
      {L"4C530001230512109165", L""}, {L"0123ABCD", L""}, {L"X", L""},
      {L"AA04012700011872", L""},     {L"", kProblem},  // J's string request stalls
  };
  std::wstring previous;
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    hl::Select(*dlg, 1033, i);
    std::wstring message = Find();
    EXPECT_EQ(message, expected[i][1]);
    if (message.empty()) previous = expected[i][0];
    EXPECT_EQ(Text(1036), previous);
  }
  // The speed test's view: I is a USB 3 stick in a USB 2 port, E is not.
  ULONG protocols = 0;
  WORD bcd = 0;
  ASSERT_TRUE(QueryUsbConnectionSpeed('I', protocols, bcd));
  EXPECT_TRUE(IsUsb3DeviceInUsb2Port(protocols, bcd));
  ASSERT_TRUE(QueryUsbConnectionSpeed('E', protocols, bcd));
  EXPECT_EQ(protocols, 7u);
  EXPECT_EQ(bcd, 0x0300);
  EXPECT_FALSE(IsUsb3DeviceInUsb2Port(protocols, bcd));
}

}  // namespace
