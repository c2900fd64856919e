// The imager's services on the real platform, with the copy's own arguments:
// the destination as the copy opens it, and a run on the drive Wine offers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imager/disk_image.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace {

namespace fs = std::filesystem;
using namespace plat;

class Win32Imager : public ::testing::Test {
 protected:
  Win32Imager() {
    dir = fs::temp_directory_path() /
          ("tw_imager_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Win32Imager() override { fs::remove_all(dir); }
  std::u16string Path(const char* name) const { return (dir / name).u16string(); }
  static std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir;
};

// As the copy opens its destination: write access, no sharing, created always.
UniqueFile OpenDestination(const std::u16string& path) {
  return UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

TEST_F(Win32Imager, TheDestinationIsEmptiedWrittenCutAndKept) {
  std::ofstream(dir / "old.img", std::ios::binary) << "an older and longer image";
  const std::u16string path = Path("old.img");
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  {
    UniqueFile file = OpenDestination(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);  // the platform's sign of a file reused
    EXPECT_EQ(fs::file_size(dir / "old.img"), 0u);
    // No sharing: nobody else opens it while the copy runs.
    UniqueFile second(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(second);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "0123456789", 10, &written, nullptr));
    EXPECT_EQ(written, 10u);
    ASSERT_TRUE(SetFilePointerEx(file.get(), 4, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  EXPECT_EQ(Bytes(dir / "old.img"), "0123");
}

TEST_F(Win32Imager, ADirectoryOrAMissingFolderIsNotADestination) {
  EXPECT_NE(GetFileAttributesW(dir.u16string().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(OpenDestination(dir.u16string()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(OpenDestination(Path("no\\such\\x.img")));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(Path("missing.img").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32Imager, ARunOnPhysicalDrive0EndsWithWinesReadErrorAndAnEmptyFile) {
  DISK_GEOMETRY geometry{};
  ASSERT_TRUE(QueryDiskGeometry(0, geometry));
  EXPECT_GT(TotalSize(geometry), 0u);
  EXPECT_EQ(BlockSize(geometry), 255u * 63 * 512);
  ImageJob job;
  job.imagePath = Path("drive0.img");
  job.deviceNumber = 0;
  job.shortImage = 1;
  EXPECT_FALSE(CreateDiskImage(job));
  EXPECT_EQ(job.errorCode, ERROR_INVALID_FUNCTION);  // what Wine's read answers
  ASSERT_TRUE(fs::exists(dir / "drive0.img"));
  EXPECT_EQ(fs::file_size(dir / "drive0.img"), 0u);  // created, nothing read, not cut
}

TEST_F(Win32Imager, ADriveThatIsNotThereIsASeekError) {
  // Wine numbers a drive for each mapped floppy letter too (E: here is one),
  // so a number far past them.
  DISK_GEOMETRY geometry{};
  EXPECT_FALSE(QueryDiskGeometry(63, geometry));
  ImageJob job;
  job.imagePath = Path("drive63.img");
  job.deviceNumber = 63;
  EXPECT_FALSE(CreateDiskImage(job));
  EXPECT_EQ(job.errorCode, ERROR_SEEK);
  EXPECT_FALSE(fs::exists(dir / "drive63.img"));
}

TEST_F(Win32Imager, BlockBuffersComeFromThePlatform) {
  void* p = VirtualAlloc(nullptr, 255 * 63 * 512, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 4096, 0u);
  EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
}

}  // namespace
