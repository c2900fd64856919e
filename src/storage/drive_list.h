// The drives behind the three source-drive selectors: removable drive
// letters grouped by the storage device that holds them.
#pragma once

#include <map>
#include <string>

#include "platform/platform.h"

// One storage device with at least one listed drive letter.
struct DriveEntry {
  plat::DWORD deviceNumber = 0;  // STORAGE_DEVICE_NUMBER.DeviceNumber: "\\.\PhysicalDrive%d"
  std::string letters;           // upper-case, in the order added, never empty
};

// Keyed by device number, ascending.
using DriveList = std::map<plat::DWORD, DriveEntry>;

// Media present in the drive (the volume opened for reading data).
bool IsVolumeMediaReady(char letter);
// The storage device number of the letter's volume (opened for queries only).
bool QueryVolumeDeviceNumber(char letter, plat::DWORD& deviceNumber);
// The removable drives with media, ascending; false when the platform gives
// no drive strings.
bool ListRemovableDriveLetters(std::string& letters);
// Fills the empty list from the removable drives; false when they cannot be
// listed (the list stays empty).
bool BuildDriveList(DriveList& list);

// The letters of a volume broadcast's unit mask, ascending.
std::string UnitMaskToLetters(const plat::DEV_BROADCAST_VOLUME& volume);
// Adds the letter to its device's entry; nothing changes when its device
// number cannot be read, or when the entry already holds it (a second
// arrival for one volume must not list it twice).
void AddDriveLetter(DriveList& list, char letter);
// Deletes the letter from the first entry holding it, and the entry with its
// last letter.
void RemoveDriveLetter(DriveList& list, char letter);
