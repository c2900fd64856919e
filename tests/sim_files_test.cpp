// The simulated file layer must answer as the platform does, since the
// imager and the speed test are proven on it: real bytes in host files,
// drive letters mapped to folders, faults at chosen offsets.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/sim/sim.h"

using namespace plat;

namespace {

namespace fs = std::filesystem;

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

class SimFiles : public ::testing::Test {
 protected:
  SimFiles() {
    dir = fs::temp_directory_path() /
          ("tw_simfiles_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    world->MapDriveFolder('E', U16(dir.string()));
  }
  ~SimFiles() override { fs::remove_all(dir); }
  sim::ScopedWorld world;
  fs::path dir;
};

TEST_F(SimFiles, WritesReadsSeeksAndCutsRealBytes) {
  HANDLE h = CreateFileW(u"E:\\a.img", GENERIC_WRITE | GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  LONGLONG pos = -1;
  ASSERT_TRUE(SetFilePointerEx(h, 4, &pos, FILE_BEGIN));
  EXPECT_EQ(pos, 4);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 4u);
  EXPECT_EQ(SetFilePointer(h, 1, nullptr, FILE_BEGIN), 1u);
  char buf[8] = {};
  ASSERT_TRUE(ReadFile(h, buf, 8, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "123");
  EXPECT_EQ(world->OpenIoHandles(), 1);
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(world->OpenIoHandles(), 0);
  EXPECT_EQ(fs::file_size(dir / "a.img"), 4u);
}

TEST_F(SimFiles, AnswersForMissingFilesDirectoriesAndUnmappedLetters) {
  struct Case {
    const char16_t* path;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {u"E:\\missing.img", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {u"E:\\", CREATE_ALWAYS, ERROR_ACCESS_DENIED},
      {u"E:\\no\\such\\dir\\x.img", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
#ifndef _WIN32
      // A letter with no folder names nothing (a Windows host answers for
      // its own drives).
      {u"Q:\\x.img", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
#endif
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(CreateFileW(c.path, GENERIC_WRITE, 0, nullptr, c.disposition, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error) << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
  }
  EXPECT_EQ(GetFileAttributesW(u"E:\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"E:\\missing.img"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  auto opens = world->FileOpens();
  ASSERT_EQ(opens.size(), std::size(cases));
  EXPECT_EQ(opens[1].path, u"E:\\");
  EXPECT_EQ(opens[1].disposition, CREATE_ALWAYS);
  EXPECT_FALSE(opens[1].opened);
}

TEST_F(SimFiles, TempNamesAreCreatedInTheRootAndDeleted) {
  WCHAR name[260] = {};
  UINT unique = GetTempFileNameW(u"E:\\", u"USB", 0, name);
  ASSERT_NE(unique, 0u);
  std::u16string path(name);
  ASSERT_EQ(path.substr(0, 6), u"E:\\USB");
  EXPECT_EQ(path.substr(path.size() - 4), u".TMP");
  fs::path host = dir / std::string(path.begin() + 3, path.end());
  EXPECT_TRUE(fs::exists(host));
  EXPECT_EQ(fs::file_size(host), 0u);
  WCHAR second[260] = {};
  ASSERT_NE(GetTempFileNameW(u"E:\\", u"USB", 0, second), 0u);
  EXPECT_NE(std::u16string(second), path);
  EXPECT_TRUE(DeleteFileW(name));
  EXPECT_FALSE(fs::exists(host));
  EXPECT_FALSE(DeleteFileW(name));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(SimFiles, InjectedFaultsFailOrShortenTheTransferThatCoversTheirOffset) {
  {
    std::ofstream(dir / "src.bin") << std::string(100, 'x');
  }
  HANDLE h = CreateFileW(u"E:\\src.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  world->FailIoAt(u"e:\\SRC.bin", false, 25, 0);    // short: ends before byte 25
  world->FailIoAt(u"E:\\src.bin", false, 45, 23);   // then a failure
  char buf[20];
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(h, buf, 20, &n, nullptr));
  EXPECT_EQ(n, 20u);
  ASSERT_TRUE(ReadFile(h, buf, 20, &n, nullptr));
  EXPECT_EQ(n, 5u);
  ASSERT_TRUE(ReadFile(h, buf, 20, &n, nullptr));
  EXPECT_EQ(n, 20u);
  EXPECT_FALSE(ReadFile(h, buf, 20, &n, nullptr));
  EXPECT_EQ(GetLastError(), 23u);
  EXPECT_EQ(n, 0u);
  CloseHandle(h);
}

TEST_F(SimFiles, FreeSpaceIsTheTestsFiguresOrTheFolders) {
  ULONGLONG caller = 0, total = 0, free = 0;
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"E:\\", &caller, &total, &free));
  EXPECT_GT(total, 0u);
  sim::World::DiskSpace space;
  space.freeToCaller = 83886080;
  space.sectorsPerCluster = 8;
  space.bytesPerSector = 512;
  space.freeClusters = 20480;
  world->SetDiskSpace('E', space);
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"E:\\", &caller, nullptr, nullptr));
  EXPECT_EQ(caller, 83886080u);
  DWORD spc = 0, bps = 0, clusters = 0, all = 0;
  ASSERT_TRUE(GetDiskFreeSpaceW(u"E:\\", &spc, &bps, &clusters, &all));
  EXPECT_EQ(static_cast<ULONGLONG>(spc) * bps * clusters, 83886080u);
}

}  // namespace
