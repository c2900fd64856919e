// The demo's physical drives: the sticks' bytes as files on the host.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sim/demo_scenario.h"

namespace {

struct DemoDisk {
  plat::DWORD number;  // the device number of the stick's volumes
  plat::LONGLONG cylinders;
  std::uint32_t tail;  // bytes past the last whole cylinder, never imaged
  // Partitions as (first sector, sectors of data written at its start).
  std::vector<std::pair<std::uint32_t, std::uint32_t>> partitions;
};

constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kCylinder = 255 * 63 * kSector;

void PutLe32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The drive's first sector: a partition table, one entry per partition.
std::string MasterBootRecord(const DemoDisk& d, std::uint64_t sectors) {
  std::string mbr(kSector, '\0');
  for (std::size_t i = 0; i < d.partitions.size(); ++i) {
    const std::size_t entry = 446 + 16 * i;
    const std::uint32_t first = d.partitions[i].first;
    const std::uint64_t end = i + 1 < d.partitions.size() ? d.partitions[i + 1].first : sectors;
    mbr[entry] = static_cast<char>(i == 0 ? 0x80 : 0x00);
    mbr[entry + 4] = 0x0C;  // FAT32, addressed by sector number
    PutLe32(mbr, entry + 8, first);
    PutLe32(mbr, entry + 12, static_cast<std::uint32_t>(end - first));
  }
  mbr[510] = 0x55;
  mbr[511] = static_cast<char>(0xAA);
  return mbr;
}

// Some data at a partition's start: a volume label and a file's bytes.
std::string PartitionData(plat::DWORD number, std::size_t index, std::uint32_t sectors) {
  std::string data(static_cast<std::size_t>(sectors) * kSector, '\0');
  char label[64];
  int n = std::snprintf(label, sizeof label, "\xEB\x58\x90MSDOS5.0 TIDEWELL DEMO DRIVE %lu PART %zu",
                        static_cast<unsigned long>(number), index + 1);
  std::memcpy(data.data(), label, static_cast<std::size_t>(n > 0 ? n : 0));
  std::uint32_t seed = 0x9E3779B9u * (number + 1) + static_cast<std::uint32_t>(index);
  for (std::size_t i = kSector; i < data.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    data[i] = static_cast<char>(seed >> 24);
  }
  return data;
}

const DemoDisk kDemoDisks[] = {
    {2, 40, 1048576, {{2048, 36000}}},                    // E: data into its third cylinder
    {3, 24, 3 * kSector, {{2048, 4000}, {193000, 9000}}},  // F and G: data at each partition's start
    {4, 8, 0, {{2048, 2000}}},                             // H
    {5, 12, 65536, {{8192, 500}}},                         // I
    {6, 16, 0, {{2048, 1}}},                               // J: a label only
};

}  // namespace

bool AddDemoDisks(sim::World& world, const std::u16string& hostFolder) {
  namespace fs = std::filesystem;
  bool all = true;
  for (const DemoDisk& d : kDemoDisks) {
    const std::uint64_t size = static_cast<std::uint64_t>(d.cylinders) * kCylinder + d.tail;
    char name[64];
    std::snprintf(name, sizeof name, "TidewellDemo-PhysicalDrive%lu.bin", static_cast<unsigned long>(d.number));
    const fs::path file = fs::path(hostFolder) / name;
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out << MasterBootRecord(d, size / kSector);
      for (std::size_t i = 0; i < d.partitions.size(); ++i) {
        out.seekp(static_cast<std::streamoff>(d.partitions[i].first) * kSector);
        out << PartitionData(d.number, i, d.partitions[i].second);
      }
      if (!out) {
        all = false;
        continue;
      }
    }
    std::error_code error;
    fs::resize_file(file, size, error);  // the zeros: a hole, where the host has them
    if (error) {
      all = false;
      continue;
    }
    sim::World::PhysicalDrive drive;
    drive.geometry = {d.cylinders, 11 /* RemovableMedia */, 255, 63, kSector};
    drive.backingFile = file.u16string();
    drive.readDelayMs = 60;  // a cylinder in 60 ms: about what a USB 2 stick reads
    world.AddPhysicalDrive(d.number, drive);
  }
  return all;
}
