#include "imager/disk_image.h"

#include <cstring>
#include <string>

#include "platform/unique_handle.h"

using namespace plat;

namespace {

// The block buffer: page-aligned, released on every way out.
class BlockBuffer {
 public:
  explicit BlockBuffer(std::size_t size)
      : data_(static_cast<std::uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
  ~BlockBuffer() {
    if (data_) VirtualFree(data_, 0, MEM_RELEASE);
  }
  BlockBuffer(const BlockBuffer&) = delete;
  BlockBuffer& operator=(const BlockBuffer&) = delete;
  std::uint8_t* get() const { return data_; }

 private:
  std::uint8_t* data_;
};

std::u16string DrivePath(std::uint32_t deviceNumber) {
  std::string n = std::to_string(deviceNumber);
  return u"\\\\.\\PhysicalDrive" + std::u16string(n.begin(), n.end());
}

void Post(const ImageJob& job, fw::UINT message, fw::WPARAM w) {
  if (job.notifyWindow) fw::backend::PostMessage(job.notifyWindow, message, w, 0);
}

}  // namespace

bool QueryDiskGeometry(std::uint32_t deviceNumber, DISK_GEOMETRY& geometry) {
  UniqueFile device(CreateFileW(DrivePath(deviceNumber).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!device) return false;
  DISK_GEOMETRY answer{};
  DWORD returned = 0;
  if (!DeviceIoControl(device.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &answer,
                       sizeof(answer), &returned, nullptr))
    return false;
  geometry = answer;
  return true;
}

std::uint32_t BlockSize(const DISK_GEOMETRY& g) {
  return g.TracksPerCylinder * g.SectorsPerTrack * g.BytesPerSector;
}

std::uint64_t TotalSize(const DISK_GEOMETRY& g) {
  return static_cast<std::uint64_t>(g.TracksPerCylinder) * g.SectorsPerTrack * g.BytesPerSector *
         static_cast<std::uint64_t>(g.Cylinders);
}

bool HasNonZeroByte(const std::uint8_t* data, std::size_t size) {
  // Word by word, eight words a step: a mostly empty drive is scanned at
  // memory speed, and a block with data stops within its first 64 bytes.
  while (size > 0 && reinterpret_cast<std::uintptr_t>(data) % sizeof(std::uint64_t) != 0) {
    if (*data) return true;
    ++data;
    --size;
  }
  constexpr std::size_t kStep = 8 * sizeof(std::uint64_t);
  for (; size >= kStep; data += kStep, size -= kStep) {
    std::uint64_t w[8];
    std::memcpy(w, data, kStep);
    if ((w[0] | w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) != 0) return true;
  }
  for (; size > 0; ++data, --size)
    if (*data) return true;
  return false;
}

bool CreateDiskImage(ImageJob& job) {
  job.errorCode = 0;
  DISK_GEOMETRY geometry{};
  const bool known = QueryDiskGeometry(job.deviceNumber, geometry);
  const std::uint32_t blockSize = known ? BlockSize(geometry) : 0;
  const std::uint64_t totalSize = known ? TotalSize(geometry) : 0;
  // Nothing to copy is a geometry that cannot be used: it would divide the
  // progress by zero, or read empty blocks for ever.
  if (!known || blockSize == 0 || totalSize == 0) {
    job.errorCode = ERROR_SEEK;
    return false;
  }
  BlockBuffer buffer(blockSize);
  if (!buffer.get()) {
    job.errorCode = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  UniqueFile source(CreateFileW(DrivePath(job.deviceNumber).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!source) {
    job.errorCode = GetLastError();
    return false;
  }
  UniqueFile image(CreateFileW(job.imagePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!image) {
    job.errorCode = GetLastError();
    return false;
  }

  std::uint64_t done = 0;
  std::uint64_t lastDataEnd = 0;
  bool more = true;
  // The last two blocks never move the cut.
  const std::uint64_t scanLimit = totalSize - blockSize;
  while (true) {
    DWORD n = 0;
    if (!ReadFile(source.get(), buffer.get(), blockSize, &n, nullptr)) {
      job.errorCode = GetLastError();
      break;
    }
    if (n < blockSize) more = false;
    done += n;
    Post(job, WM_IMAGE_PROGRESS, static_cast<fw::WPARAM>(done * 100 / totalSize));
    if (done >= totalSize) more = false;
    if (job.shortImage == 1 && done < scanLimit && HasNonZeroByte(buffer.get(), n)) lastDataEnd = done;
    DWORD written = 0;
    if (!WriteFile(image.get(), buffer.get(), n, &written, nullptr)) {
      job.errorCode = GetLastError();
      break;
    }
    // A write that took less than the block would leave a hole in the image
    // of a run reported as a success.
    if (written != n) {
      job.errorCode = ERROR_WRITE_FAULT;
      break;
    }
    if (!more) break;
    if (job.stopRequested.load()) {
      job.errorCode = ERROR_OPERATION_ABORTED;
      break;
    }
  }
  if (job.shortImage == 1 && job.errorCode == 0) {
    if (!SetFilePointerEx(image.get(), static_cast<LONGLONG>(lastDataEnd), nullptr, FILE_BEGIN) ||
        !SetEndOfFile(image.get()))
      job.errorCode = GetLastError();
  }
  return job.errorCode == 0;
}

fw::UINT ImagingThreadProc(void* imageJob) {
  auto& job = *static_cast<ImageJob*>(imageJob);
  CreateDiskImage(job);
  Post(job, WM_IMAGE_FINISHED, job.errorCode);
  return 0;
}
