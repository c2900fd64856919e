#include "res/resources.h"

#include <array>

namespace res {
namespace {

using namespace style;
using K = Kind;

constexpr std::uint32_t kCombo = TabStop | VScroll;
constexpr std::uint32_t kSortedCombo = kCombo | ComboSort;

// The main dialog. No control moves when the frame is resized.
constexpr ControlTemplate kMain[] = {
    {1, K::DefPushButton, L"Exit", 399, 277, 100, 14, TabStop},
    {kNoId, K::GroupBox, L"Current phantom device status:", 25, 56, 135, 67, 0},
    {1000, K::Static, L"Static", 39, 76, 107, 8, StaticNoWrap},
    {1001, K::Static, L"Static", 39, 97, 107, 8, StaticNoWrap},
    {1002, K::PushButton, L"Remove", 186, 94, 68, 20, TabStop},
    {1003, K::ComboBox, L"", 186, 74, 68, 78, kCombo},
    {kNoId, K::GroupBox, L"Remove phantoms prior to:", 167, 57, 105, 67, 0},
    {kNoId, K::GroupBox, L"Status", 25, 18, 247, 30, 0},
    {1006, K::Static, L"This tool requires Administrator privileges to operate.", 51, 30, 196, 10,
     StaticCenter},
    {1004, K::PushButton, L"About", 12, 277, 73, 14, TabStop},
    {1005, K::PushButton, L"Velmora, Inc.", 198, 277, 99, 14, TabStop},
    {kNoId, K::GroupBox, L"Phantom devices to remove by category:", 25, 127, 247, 75, 0},
    {1007, K::CheckBox, L"DISKDRIVE", 36, 145, 107, 8, TabStop},
    {1008, K::CheckBox, L"VOLUME", 36, 158, 107, 8, TabStop},
    {1009, K::CheckBox, L"USB", 36, 171, 107, 8, TabStop},
    {1011, K::CheckBox, L"CDROM", 155, 145, 107, 8, TabStop},
    {1013, K::CheckBox, L"SCSI ADAPTER", 155, 158, 107, 8, TabStop},
    {1010, K::CheckBox, L"VOLUME SNAPSHOT", 36, 185, 107, 8, TabStop},
    {kNoId, K::GroupBox, L"USB Tidewell", 15, 7, 269, 203, 0},
    {kNoId, K::GroupBox, L"USB Disk Imager", 292, 7, 204, 125, 0},
    {kNoId, K::Static, L"Source Disk", 314, 24, 38, 8, StaticRight},
    {1016, K::ComboBox, L"", 357, 23, 29, 30, kSortedCombo},
    {kNoId, K::Static, L"Image File Path", 303, 42, 50, 8, StaticRight},
    {1017, K::Edit, L"", 357, 41, 113, 14, TabStop | Border | EditAutoHScroll},
    {1014, K::PushButton, L"...", 473, 41, 17, 14, TabStop},
    {1018, K::CheckBox, L"Short Image", 357, 63, 55, 10, TabStop},
    {1015, K::PushButton, L"Create Image", 357, 85, 79, 14, TabStop},
    {1019, K::Link, L"<a>What's this?</a>", 414, 64, 60, 10, TabStop},
    {1020, K::Progress, L"", 303, 108, 184, 14, Border},
    {kNoId, K::GroupBox, L"USB Speed Test", 292, 135, 204, 132, 0},
    {1026, K::RadioButton, L"Read/Write test", 308, 149, 65, 10, 0},
    {1027, K::RadioButton, L"File test", 380, 149, 41, 10, 0},
    {1028, K::ComboBox, L"", 349, 170, 30, 30, kSortedCombo},
    {kNoId, K::Static, L"Source disk", 306, 171, 37, 8, StaticRight},
    {kNoId, K::Static, L"Write Speed:", 306, 210, 42, 8, StaticRight},
    {kNoId, K::Static, L"Read Speed:", 306, 192, 41, 8, StaticRight},
    {1029, K::Progress, L"", 305, 246, 181, 14, Border},
    {1030, K::PushButton, L"Start", 433, 188, 50, 14, TabStop},
    {1031, K::Static, L"", 356, 210, 70, 8, StaticLeft},
    {1032, K::Static, L"", 355, 192, 68, 8, StaticLeft},
    {kNoId, K::GroupBox, L"USB Serial Number", 14, 212, 270, 55, 0},
    {kNoId, K::Static, L"Source Disk", 21, 227, 38, 8, StaticLeft},
    {1033, K::ComboBox, L"", 64, 226, 27, 65, kSortedCombo},
    {kNoId, K::Static, L"Serial Number:", 88, 247, 48, 8, StaticRight},
    {1035, K::PushButton, L"Find Serial #", 29, 244, 50, 14, TabStop},
    {1036, K::Edit, L"", 140, 245, 121, 14, TabStop | Border | EditReadOnly | EditAutoHScroll},
    {1037, K::Static, L"", 307, 224, 36, 17, StaticCenter},
    {1038, K::Static, L"", 354, 224, 36, 17, StaticCenter},
    {1039, K::Static, L"", 401, 224, 36, 17, StaticCenter},
    {1040, K::Static, L"", 448, 224, 36, 17, StaticCenter},
    {kNoId, K::GroupBox, L"", 302, 202, 186, 43, 0},
    {1041, K::Link, L"<a>What's this?</a>", 426, 150, 44, 10, TabStop},
};

constexpr std::uint32_t kModal = Popup | Caption | SysMenu | ModalFrame | ShellFont;
constexpr std::uint32_t kProduct = TabStop | ButtonMultiLine;
constexpr std::uint32_t kRule = StaticNoWrap;  // clipped at the control's width

// A separator between two entries of the About box's product list.
constexpr const wchar_t* kRuleText =
    L"________________________________________________________________________________"
    L"________________________________________________________________________________";

// The About box: the program's name and version, then the maker's other
// products, each button opening that product's page.
constexpr ControlTemplate kAbout[] = {
    {kNoId, K::Icon, L"", 140, 17, 20, 20, 0, IDR_MAINFRAME},
    {1021, K::Static, L"Tidewell", 291, 15, 146, 15,
     StaticCenter | StaticCenterV | StaticNoPrefix},
    {1023, K::Static, L"Version ", 305, 35, 118, 12, StaticCenter | StaticCenterV},
    {1022, K::Static, L"Copyright \u00A9 Velmora, Inc.", 253, 55, 223, 13, StaticCenter},
    {1024, K::Static,
     L"Tidewell is one of the USB tools of Velmora, Inc.\nOur other products are listed below:",
     218, 82, 291, 18, StaticCenter},
    // OK comes first in the tab order, so that it has the focus and Enter
    // closes the box rather than opening a product page.
    {1, K::DefPushButton, L"OK", 330, 307, 72, 26, TabStop},
    {1002, K::PushButton, L"Tidemark\nDrive Duplicator", 39, 122, 131, 26, kProduct},
    {kNoId, K::Static, L"Copies one master USB drive to many targets at once.",
     182, 124, 353, 10, StaticCenter},
    {kNoId, K::Static, L"Every copy is verified byte for byte.", 182, 136, 353, 10, StaticCenter},
    {kNoId, K::Static, kRuleText, 39, 150, 496, 8, kRule},
    {1004, K::PushButton, L"Breakwater\nWrite Blocker", 39, 165, 131, 26, kProduct},
    {kNoId, K::Static, L"Keeps the USB drives you choose read-only on this machine,",
     182, 167, 353, 10, StaticCenter},
    {kNoId, K::Static, L"so that master copies are never changed by accident.",
     182, 179, 353, 10, StaticCenter},
    {kNoId, K::Static, kRuleText, 39, 193, 496, 8, kRule},
    {1005, K::PushButton, L"Undertow\nSecure Eraser", 39, 208, 131, 26, kProduct},
    {kNoId, K::Static, L"Overwrites every sector of a flash drive before it is reused or retired,",
     182, 210, 353, 10, StaticCenter},
    {kNoId, K::Static, L"and prints a certificate of erasure for each device.",
     182, 222, 353, 10, StaticCenter},
    {kNoId, K::Static, kRuleText, 39, 236, 496, 8, kRule},
    {1014, K::PushButton, L"Harbor Log\nDrive Inventory", 39, 251, 131, 26, kProduct},
    {kNoId, K::Static, L"Records the vendor, size and serial number of every USB drive plugged in,",
     182, 253, 353, 10, StaticCenter},
    {kNoId, K::Static, L"and exports the list for your records.", 182, 265, 353, 10, StaticCenter},
};

// Behind the imager's "What's this?" link.
constexpr ControlTemplate kShortImageHelp[] = {
    {kNoId, K::Static,
     L"Large drives can be cumbersome to duplicate, especially when small amounts of data reside on a large drive with empty space.  The short image feature is designed to address this problem.",
     30, 21, 306, 18, StaticCenter},
    {kNoId, K::Static,
     L"To make a short disk image, check the \"short image\" checkbox. The software will track the last data sector on the image and truncate the process at that point.",
     34, 44, 299, 19, StaticCenter},
    {kNoId, K::Static,
     L"The resultant image file will be smaller in size (bytes) from the master device while still maintaining the master partition table size.",
     52, 60, 255, 17, StaticCenter},
    {kNoId, K::Static,
     L"It is important the source drive contain zeros for the blank portion of the drive not holding data. To accomplish this, please Full Format the master device before placing data on it.",
     38, 82, 301, 17, StaticCenter},
    {kNoId, K::Static,
     L"The Full Format will zero out all sectors of the device.  Do not use Quick Format!",
     9, 98, 363, 8, StaticCenter},
    {kNoId, K::Static,
     L"In order to use the short image to make drives, the target drive must be at least equal to the size of the source drive.",
     87, 111, 211, 16, StaticCenter},
    {kNoId, K::Static,
     L"Said another way, the physical device the image file is written to, must have a partition size equal to or greater than your original flash drive used when imaging.",
     84, 127, 218, 25, StaticCenter},
    {kNoId, K::Static,
     L"Please note, a short disk image may not mount as a virtual disk in the Windows operating system.  If it is required to mount an image file as a virtual drive letter, please image the entire device.",
     65, 155, 252, 25, StaticCenter},
    {1, K::DefPushButton, L"OK", 168, 189, 50, 14, TabStop},
};

// Shown when the version list names a newer version.
constexpr ControlTemplate kUpdateNotification[] = {
    {kNoId, K::Icon, L"", 10, 10, 21, 20, 0, IDR_MAINFRAME},
    {kNoId, K::Static, L"There is a new version of Tidewell available!",
     117, 31, 169, 8, StaticCenter},
    {kNoId, K::Static, L"Click OK to download it or Cancel to continue.",
     114, 55, 173, 8, StaticCenter},
    {1, K::DefPushButton, L"OK", 149, 80, 50, 14, TabStop},
    {2, K::PushButton, L"Cancel", 203, 80, 50, 14, TabStop},
};

// Behind the speed test's "What's this?" link.
constexpr ControlTemplate kDiskSpeedHelp[] = {
    {kNoId, K::Static,
     L"Read / Write Test",
     13, 13, 56, 8, StaticLeft},
    {kNoId, K::Static,
     L"This test measures the raw read/write speed of flash memory.  The speed measurement is dependent on the type of USB socket used during testing.  For best results, be sure a USB 3.0 flash drive is connected to a USB 3.0 socket.",
     30, 26, 268, 28, StaticCenter},
    {kNoId, K::Static,
     L"The test is designed to benchmark the theoretical maximum capability of the NAND memory used in the device.",
     31, 51, 256, 19, StaticCenter},
    {kNoId, K::Static,
     L"File Test",
     13, 75, 58, 8, StaticLeft},
    {kNoId, K::Static,
     L"This test represents a more real world experience of the device.  The test measures real-time file open and position commands in addition to read/write speeds of those files.",
     17, 90, 283, 22, StaticCenter},
    {kNoId, K::Static,
     L"How the USB controller is configured contributes to the overall speed matrix of the device.",
     16, 107, 290, 8, StaticLeft},
    {kNoId, K::Static,
     L"Note:  The data size is the same for both tests. ",
     10, 130, 298, 9, StaticCenter},
    {kNoId, K::Static,
     L"Note:  Flash drives are optimized by the manufacturer for either speed or capacity.  Having the option to test for raw speed in contrast to file transfer speed allows one to compare the two.",
     50, 146, 232, 25, StaticCenter},
    {1, K::DefPushButton, L"OK", 138, 185, 50, 14, TabStop},
};

constexpr DialogTemplate kDialogs[] = {
    {IDD_TIDEWELL_DIALOG, L"Tidewell", 510, 298,
     Popup | Visible | Caption | SysMenu | MinimizeBox | ThickFrame | ShellFont, ExAppWindow,
     L"MS Shell Dlg", 8, kMain},
    {IDD_ABOUTBOX, L"About Tidewell", 574, 340, kModal, 0, L"MS Shell Dlg", 8, kAbout},
    {IDD_SHORT_IMAGE_HELP, L"Short Image Help", 382, 214, kModal, 0, L"MS Shell Dlg", 8,
     kShortImageHelp},
    {IDD_UPDATE_NOTIFICATION, L"Update Notification", 333, 123, kModal, 0, L"MS Shell Dlg", 8,
     kUpdateNotification},
    {IDD_DISK_SPEED_HELP, L"Disk Speed Help", 321, 210, kModal, 0, L"MS Shell Dlg", 8,
     kDiskSpeedHelp},
};

struct StringEntry {
  int id;
  const wchar_t* text;
};

constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, L"&About Tidewell..."},
    {IDS_AGE_NOW, L"Now"},
    {IDS_AGE_TODAY, L"Today"},
    {IDS_AGE_LAST_WEEK, L"Last Week"},
    {IDS_AGE_LAST_MONTH, L"Last Month"},
    {IDS_AGE_LAST_YEAR, L"Last Year"},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& d : kDialogs)
    if (d.id == id) return &d;
  return nullptr;
}

const wchar_t* FindString(int id) {
  for (const StringEntry& s : kStrings)
    if (s.id == id) return s.text;
  return nullptr;
}

}  // namespace res
