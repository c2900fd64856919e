#include "storage/drive_list.h"

#include "platform/unique_handle.h"

using namespace plat;

namespace {

UniqueFile OpenVolume(char letter, DWORD access) {
  const char path[] = {'\\', '\\', '.', '\\', letter, ':', 0};
  return UniqueFile(CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
}

}  // namespace

bool IsVolumeMediaReady(char letter) {
  UniqueFile volume = OpenVolume(letter, FILE_READ_DATA);
  if (!volume) return false;
  DWORD returned = 0;
  return DeviceIoControl(volume.get(), IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0,
                         &returned, nullptr) != 0;
}

bool QueryVolumeDeviceNumber(char letter, DWORD& deviceNumber) {
  UniqueFile volume = OpenVolume(letter, 0);
  if (!volume) return false;
  STORAGE_DEVICE_NUMBER number{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  DWORD returned = 0;
  if (!DeviceIoControl(volume.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                       sizeof number, &returned, nullptr))
    return false;
  deviceNumber = number.DeviceNumber;
  return true;
}

bool ListRemovableDriveLetters(std::string& letters) {
  constexpr DWORD kBufferChars = 9999;
  std::string buffer(kBufferChars + 1, '\0');
  DWORD length = GetLogicalDriveStringsA(kBufferChars, buffer.data());
  // At or above the buffer's size the platform asks for more room and wrote
  // nothing, so there is nothing to walk.
  if (length == 0 || length >= kBufferChars) return false;
  std::string kept;
  for (std::size_t at = 0; at < length && buffer[at];
       at += std::char_traits<char>::length(&buffer[at]) + 1) {
    const char* root = &buffer[at];
    if (GetDriveTypeA(root) == DRIVE_REMOVABLE && IsVolumeMediaReady(root[0])) kept += root[0];
  }
  letters = kept;
  return true;
}

bool BuildDriveList(DriveList& list) {
  std::string letters;
  if (!ListRemovableDriveLetters(letters)) return false;
  for (char letter : letters) {
    DWORD number = 0;
    if (!QueryVolumeDeviceNumber(letter, number)) continue;
    DriveEntry& entry = list[number];
    entry.deviceNumber = number;
    entry.letters += letter;
  }
  return true;
}

std::string UnitMaskToLetters(const DEV_BROADCAST_VOLUME& volume) {
  std::string letters;
  for (int bit = 0; bit < 26; ++bit)
    if (volume.dbcv_unitmask & (1u << bit)) letters += static_cast<char>('A' + bit);
  return letters;
}

void AddDriveLetter(DriveList& list, char letter) {
  DWORD number = 0;
  if (!QueryVolumeDeviceNumber(letter, number)) return;
  DriveEntry& entry = list[number];
  entry.deviceNumber = number;
  if (entry.letters.find(letter) == std::string::npos) entry.letters += letter;
}

void RemoveDriveLetter(DriveList& list, char letter) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    std::string& letters = it->second.letters;
    std::size_t at = letters.find(letter);
    if (at == std::string::npos) continue;
    letters.erase(at, 1);
    if (letters.empty()) list.erase(it);
    return;
  }
}
