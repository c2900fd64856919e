// The drive list's and the port walk's services on the real platform, with
// the tools' own arguments. The test command maps E: to a host folder as a
// removable drive in the Wine prefix; what Wine answers is pinned here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/unique_handle.h"
#include "storage/drive_list.h"
#include "storage/serial_number.h"
#include "storage/usb_port.h"

// In sdk_guids.cpp, which sees the SDK's headers.
bool InterfaceClassesAreTheSdks();

namespace {

constexpr char kMapped = 'E';  // set up by scripts/test.sh

TEST(Win32Drives, InterfaceClassesAreTheSdks) { EXPECT_TRUE(InterfaceClassesAreTheSdks()); }

TEST(Win32Drives, DriveStringsListTheSystemAndTheMappedDrive) {
  char buffer[10000] = {};
  plat::DWORD n = plat::GetLogicalDriveStringsA(9999, buffer);
  ASSERT_GT(n, 0u);
  ASSERT_LE(n, 10000u);
  std::string roots;
  for (const char* p = buffer; *p; p += std::strlen(p) + 1) roots += std::string(p) + " ";
  EXPECT_NE(roots.find("C:\\ "), std::string::npos) << roots;
  EXPECT_NE(roots.find(std::string(1, kMapped) + ":\\ "), std::string::npos) << roots;
}

TEST(Win32Drives, TheMappedFolderIsARemovableDrive) {
  const char root[] = {kMapped, ':', '\\', 0};
  const plat::WCHAR wroot[] = {kMapped, u':', u'\\', 0};
  EXPECT_EQ(plat::GetDriveTypeA(root), plat::DRIVE_REMOVABLE);
  EXPECT_EQ(plat::GetDriveTypeW(wroot), plat::DRIVE_REMOVABLE);
  EXPECT_EQ(plat::GetDriveTypeA("C:\\"), plat::DRIVE_FIXED);
}

TEST(Win32Drives, VolumeQueriesAnswerAsWineDoes) {
  // The device number comes back; the media check is refused (code 50), so
  // the real platform under Wine lists no drive.
  plat::DWORD number = 0xFFFFFFFF;
  EXPECT_TRUE(QueryVolumeDeviceNumber(kMapped, number));
  EXPECT_NE(number, 0xFFFFFFFFu);
  EXPECT_FALSE(IsVolumeMediaReady(kMapped));
  EXPECT_EQ(plat::GetLastError(), plat::ERROR_NOT_SUPPORTED);
  std::string letters = "unchanged";
  EXPECT_TRUE(ListRemovableDriveLetters(letters));
  EXPECT_EQ(letters, "");
  DriveList list;
  EXPECT_TRUE(BuildDriveList(list));
  EXPECT_TRUE(list.empty());
}

TEST(Win32Drives, InterfaceEnumerationFindsNoDiskCdRomOrHub) {
  for (const plat::GUID* cls : {&plat::GUID_DEVINTERFACE_DISK, &plat::GUID_DEVINTERFACE_CDROM,
                                &plat::GUID_DEVINTERFACE_USB_HUB}) {
    plat::UniqueDevInfo set(
        plat::SetupDiGetClassDevsW(cls, nullptr, nullptr, plat::DIGCF_INTERFACE_FLAGS));
    ASSERT_TRUE(set);
    plat::SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_FALSE(plat::SetupDiEnumDeviceInterfaces(set.get(), nullptr, cls, 0, &data));
    EXPECT_EQ(plat::GetLastError(), plat::ERROR_NO_MORE_ITEMS);
  }
  // So the walk ends before any hub is asked, and every tool reports failure.
  plat::ULONG port = 77;
  EXPECT_FALSE(FindUsbPortNumber(kMapped, port));
  EXPECT_EQ(port, 77u);
  plat::DEVINST node = 0;
  EXPECT_FALSE(FindVolumeDevInst(kMapped, node));
  plat::ULONG protocols = 0;
  plat::WORD bcd = 0;
  EXPECT_FALSE(QueryUsbConnectionSpeed(kMapped, protocols, bcd));
  std::u16string serial;
  EXPECT_FALSE(ReadUsbSerialNumber(kMapped, serial));
  EXPECT_TRUE(serial.empty());
}

}  // namespace
