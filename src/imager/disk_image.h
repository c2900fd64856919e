// The disk imager: a whole physical drive, from its first byte, copied into
// a raw image file, in full or cut after the last block that holds data.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/messages.h"

// The imaging job, embedded in the dialog and reused by every run. The
// dialog fills it before the worker starts; the worker writes only
// `errorCode` until its finished message has been handled.
struct ImageJob {
  fw::HWND notifyWindow = nullptr;  // empty: the worker posts nothing
  std::u16string imagePath;
  std::int32_t shortImage = 0;
  std::uint32_t deviceNumber = 0;
  std::uint32_t errorCode = 0;
  // Set by the dialog when it is closing: the worker stops after the block
  // in hand and ends with ERROR_OPERATION_ABORTED.
  std::atomic<bool> stopRequested{false};
};

// Opens "\\.\PhysicalDrive<deviceNumber>" for a query and asks its geometry.
bool QueryDiskGeometry(std::uint32_t deviceNumber, plat::DISK_GEOMETRY& geometry);

// One cylinder, the unit of every read and write (an unsigned 32-bit
// product), and the extent the copy covers (64-bit).
std::uint32_t BlockSize(const plat::DISK_GEOMETRY& geometry);
std::uint64_t TotalSize(const plat::DISK_GEOMETRY& geometry);

// True when any of the `size` bytes is non-zero; stops at the first one.
bool HasNonZeroByte(const std::uint8_t* data, std::size_t size);

// The copy; true when it ended with `errorCode` 0.
bool CreateDiskImage(ImageJob& job);

// The worker's entry: the copy, then WM_IMAGE_FINISHED with its code.
fw::UINT ImagingThreadProc(void* imageJob);
