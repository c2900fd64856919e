// The disk imager: the copy over simulated drives backed by host files, and
// the dialog's checks, save dialog, progress and outcome.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fixture.h"
#include "imager/disk_image.h"
#include "platform/sim/demo_scenario.h"
#include "ui/messages.h"

using namespace plat;

namespace {

namespace fs = std::filesystem;

// A small cylinder keeps a 1,946-block drive at 8 MB.
constexpr DWORD kTracks = 2, kSectors = 4, kBytes = 512;
constexpr std::uint32_t kBlock = kTracks * kSectors * kBytes;

constexpr int kJobControls[] = {1003, 1004, 1005, 1, 1007, 1008, 1009, 1011, 1013, 1010,
                                1016, 1028, 1033, 1017, 1018, 1015, 1014, 1030, 1026, 1027};

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// At most `limit` bytes of a file, in one read.
std::string ReadAll(const fs::path& p, std::size_t limit = SIZE_MAX) {
  std::error_code error;
  std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(fs::file_size(p, error)), limit);
  if (error) return {};
  std::string bytes(size, '\0');
  std::ifstream(p, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
  return bytes;
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// A drive of `blocks` cylinders (plus `tail` bytes past the last whole
// one), all zeros except the blocks listed (1-based), which carry a pattern.
std::string DriveBytes(std::uint32_t blocks, const std::vector<std::uint32_t>& dataBlocks,
                       std::uint32_t tail = 0) {
  std::string bytes(static_cast<std::size_t>(blocks) * kBlock + tail, '\0');
  for (std::uint32_t b : dataBlocks) {
    std::size_t at = static_cast<std::size_t>(b - 1) * kBlock;
    // The one non-zero byte lies deep in the block, past the word scan's first steps.
    bytes[at + kBlock - 3] = static_cast<char>(b % 251 + 1);
  }
  return bytes;
}

class ImagerTest : public DialogTest {
 protected:
  ImagerTest() {
    // One folder per test and run: suites of several builds may run at once.
    dir = fs::temp_directory_path() /
          ("tw_imager_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "_" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ImagerTest() override { fs::remove_all(dir); }

  // Drive `number` with these bytes and `cylinders` cylinders.
  void AddDrive(DWORD number, const std::string& bytes, LONGLONG cylinders) {
    fs::path backing = dir / ("drive" + std::to_string(number) + ".bin");
    WriteAll(backing, bytes);
    sim::World::PhysicalDrive d;
    d.geometry = {cylinders, 11, kTracks, kSectors, kBytes};
    d.backingFile = U16(backing.string());
    world->AddPhysicalDrive(number, d);
    device = bytes;
  }
  void AddDrive(DWORD number, std::uint32_t blocks, const std::vector<std::uint32_t>& dataBlocks,
                std::uint32_t tail = 0) {
    AddDrive(number, DriveBytes(blocks, dataBlocks, tail), blocks);
  }
  std::u16string ImagePath() const { return U16((dir / "out.img").string()); }
  std::string Image() const { return ReadAll(dir / "out.img"); }

  // A run of the copy alone, as the worker runs it.
  std::uint32_t Run(DWORD number, bool shortImage) {
    job.imagePath = ImagePath();
    job.deviceNumber = number;
    job.shortImage = shortImage ? 1 : 0;
    bool ok = CreateDiskImage(job);
    EXPECT_EQ(ok, job.errorCode == 0);
    EXPECT_EQ(world->OpenIoHandles(), 0);
    return job.errorCode;
  }

  // The dialog with one drive item (text, device number) in selector 1016.
  CTidewellDlg& OpenWithSource(const wchar_t* letters, std::uintptr_t deviceNumber) {
    CTidewellDlg& d = Open();
    fw::HWND selector = d.GetDlgItem(1016);
    auto i = fw::backend::SendMessage(selector, fw::CB_ADDSTRING, 0, reinterpret_cast<fw::LPARAM>(letters));
    fw::backend::SendMessage(selector, fw::CB_SETITEMDATA, static_cast<fw::WPARAM>(i),
                             static_cast<fw::LPARAM>(deviceNumber));
    fw::backend::SendMessage(selector, fw::CB_SETCURSEL, 0, 0);
    return d;
  }
  void SetPath(const std::u16string& path) {
    fw::backend::SetWindowText(dlg->GetDlgItem(1017), fw::FromU16(path));
  }
  std::vector<std::wstring> Boxes() const {
    std::vector<std::wstring> out;
    for (const auto& b : hl::MessageBoxesShown()) out.push_back(b.text);
    return out;
  }
  // Positions given to bar 1020 from the start of the last run on.
  std::vector<int> BarPositions() const {
    const hl::Log& log = hl::EventLog(*dlg);
    std::vector<int> out;
    const std::wstring prefix = L"1020 send 0x402 ";
    for (const std::wstring& e : log)
      if (e.rfind(prefix, 0) == 0) out.push_back(std::stoi(e.substr(prefix.size())));
    return out;
  }
  bool Finish() { return hl::PumpUntilHandled(*dlg, WM_IMAGE_FINISHED); }

  fs::path dir;
  std::string device;
  ImageJob job;
};

// ---- The copy ----

TEST_F(ImagerTest, AFullImageIsTheWholeCylindersByteForByte) {
  struct Case {
    std::uint32_t blocks, tail;
  } cases[] = {{7, 0}, {7, 1000}, {1, kBlock - 1}};
  for (const Case& c : cases) {
    std::string bytes = DriveBytes(c.blocks, {1, c.blocks}, c.tail);
    for (std::size_t i = 0; i < bytes.size(); i += 97) bytes[i] = static_cast<char>(i % 255 + 1);
    AddDrive(3, bytes, c.blocks);
    ASSERT_EQ(Run(3, false), 0u) << c.blocks << "+" << c.tail;
    std::string image = Image();
    EXPECT_EQ(image.size(), std::size_t{c.blocks} * kBlock);
    EXPECT_TRUE(image == bytes.substr(0, image.size())) << c.blocks << "+" << c.tail;
  }
}

TEST_F(ImagerTest, AShortImageIsCutAfterTheLastDataBlockBeforeTheLastTwo) {
  struct Case {
    const char* name;
    std::uint32_t blocks;
    std::vector<std::uint32_t> data;
    std::uint32_t cutBlocks;
  } cases[] = {
      {"blocks 1 to 10 of 1946", 1946, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10},
      {"only the last two", 40, {39, 40}, 0},
      {"no data", 40, {}, 0},
      {"data ending in N-2", 40, {5, 38}, 38},
      {"data ending in N-1", 40, {3, 39}, 3},
      {"data in the first block only", 40, {1}, 1},
  };
  for (const Case& c : cases) {
    AddDrive(1, c.blocks, c.data);
    ASSERT_EQ(Run(1, true), 0u) << c.name;
    std::string image = Image();
    EXPECT_EQ(image.size(), std::size_t{c.cutBlocks} * kBlock) << c.name;
    EXPECT_TRUE(image == device.substr(0, image.size())) << c.name;
  }
}

TEST_F(ImagerTest, TheWordScanFindsAByteAtEveryPlaceAndAlignment) {
  std::vector<std::uint8_t> buffer(300, 0);
  for (std::size_t start : {0, 1, 3, 7}) {
    for (std::size_t size : {0, 1, 63, 64, 65, 200}) {
      EXPECT_FALSE(HasNonZeroByte(buffer.data() + start, size));
      for (std::size_t at = 0; at < size; ++at) {
        buffer[start + at] = 0x80;
        EXPECT_TRUE(HasNonZeroByte(buffer.data() + start, size)) << start << " " << size << " " << at;
        buffer[start + at] = 0;
      }
    }
  }
  buffer[299] = 1;  // just past the span: not seen
  EXPECT_FALSE(HasNonZeroByte(buffer.data() + 7, 292));
}

// Every way a run can fail, with the code and what stays on disk.
TEST_F(ImagerTest, EachFailureEndsWithItsCodeAndLeavesTheFileAsItWas) {
  const std::string before = "an older image";
  enum class File { Untouched, Prefix, Full };
  struct Case {
    const char* name;
    std::function<void()> arrange;
    bool shortImage;
    DWORD code;
    File file;
    std::uint32_t bytes;  // for File::Prefix
  } cases[] = {
      {"device gone", [this] { world->RemovePhysicalDrive(2); }, false, ERROR_SEEK, File::Untouched, 0},
      {"geometry request fails",
       [this] { world->FailCall("DeviceIoControl", ERROR_NOT_READY); }, false, ERROR_SEEK,
       File::Untouched, 0},
      {"no whole cylinder", [this] { AddDrive(2, std::string(kBlock - 1, 'x'), 0); }, false,
       ERROR_SEEK, File::Untouched, 0},
      {"no buffer", [this] { world->FailCall("VirtualAlloc", ERROR_NOT_ENOUGH_MEMORY); }, false,
       ERROR_NOT_ENOUGH_MEMORY, File::Untouched, 0},
      {"source not readable (no administrator rights)",
       [this] {
         sim::World::PhysicalDrive d;
         d.geometry = {8, 11, kTracks, kSectors, kBytes};
         d.backingFile = U16((dir / "drive2.bin").string());
         d.readDenied = true;
         world->AddPhysicalDrive(2, d);
       },
       false, ERROR_ACCESS_DENIED, File::Untouched, 0},
      {"destination is a directory", [this] { job.imagePath = U16(dir.string()); }, false,
       ERROR_ACCESS_DENIED, File::Untouched, 0},
      {"destination folder missing",
       [this] { job.imagePath = U16((dir / "no" / "x.img").string()); }, false,
       ERROR_PATH_NOT_FOUND, File::Untouched, 0},
      {"a read fails in block 4",
       [this] { world->FailIoAt(u"\\\\.\\PhysicalDrive2", false, 3 * kBlock + 5, ERROR_READ_FAULT); },
       true, ERROR_READ_FAULT, File::Prefix, 3 * kBlock},
      {"a write fails in block 6 (destination full)",
       [this] { world->FailIoAt(ImagePath(), true, 5 * kBlock, ERROR_DISK_FULL); }, true,
       ERROR_DISK_FULL, File::Prefix, 5 * kBlock},
      {"a write comes back short", [this] { world->FailIoAt(ImagePath(), true, kBlock + 9, 0); },
       false, ERROR_WRITE_FAULT, File::Prefix, kBlock + 9},
      {"the pointer cannot be moved",
       [this] { world->FailCall("SetFilePointerEx", ERROR_INVALID_PARAMETER); }, true,
       ERROR_INVALID_PARAMETER, File::Full, 0},
      {"the file cannot be cut", [this] { world->FailCall("SetEndOfFile", ERROR_DISK_FULL); },
       true, ERROR_DISK_FULL, File::Full, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddDrive(2, 8, {1, 2});
    WriteAll(dir / "out.img", before);
    job.errorCode = 0;
    job.imagePath = ImagePath();
    job.deviceNumber = 2;
    job.shortImage = c.shortImage ? 1 : 0;
    c.arrange();
    std::u16string target = job.imagePath;
    EXPECT_FALSE(CreateDiskImage(job));
    EXPECT_EQ(job.errorCode, c.code);
    EXPECT_EQ(world->OpenIoHandles(), 0);
    std::string image = Image();
    switch (c.file) {
      case File::Untouched: EXPECT_EQ(image, before); break;
      case File::Prefix:
        EXPECT_EQ(image.size(), c.bytes);
        EXPECT_TRUE(image == device.substr(0, image.size()));
        break;
      case File::Full: EXPECT_EQ(image, device); break;
    }
    fs::remove(dir / "out.img");
  }
}

TEST_F(ImagerTest, AShortReadEndsTheCopyWithWhatWasReadAllWritten) {
  std::string bytes = DriveBytes(10, {1, 9});
  bytes[6 * kBlock + 10] = 'x';
  AddDrive(4, bytes, 10);
  world->FailIoAt(u"\\\\.\\PhysicalDrive4", false, 6 * kBlock + 100, 0);
  ASSERT_EQ(Run(4, false), 0u);
  EXPECT_EQ(Image(), device.substr(0, 6 * kBlock + 100));
  // A short image ends there too: the data in the block read short counts.
  world->FailIoAt(u"\\\\.\\PhysicalDrive4", false, 6 * kBlock + 100, 0);
  ASSERT_EQ(Run(4, true), 0u);
  EXPECT_EQ(Image().size(), 6 * kBlock + 100);
}

TEST_F(ImagerTest, TheDriveIsOpenedAsTheCopyNeedsItAndTheDestinationCreatedAlways) {
  AddDrive(12, 3, {1});
  ASSERT_EQ(Run(12, false), 0u);
  auto opens = world->FileOpens();
  ASSERT_EQ(opens.size(), 3u);
  struct Want {
    std::u16string path;
    DWORD access, share, disposition;
  } want[] = {
      {u"\\\\.\\PhysicalDrive12", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},
      {u"\\\\.\\PhysicalDrive12", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING},
      {ImagePath(), GENERIC_WRITE, 0, CREATE_ALWAYS},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(opens[i].path, want[i].path) << i;
    EXPECT_EQ(opens[i].access, want[i].access) << i;
    EXPECT_EQ(opens[i].share, want[i].share) << i;
    EXPECT_EQ(opens[i].disposition, want[i].disposition) << i;
    EXPECT_EQ(opens[i].flags, 0u) << i;
  }
  // Someone else writing the drive shares nothing with a read-only-sharing reader.
  HANDLE writer = CreateFileW(u"\\\\.\\PhysicalDrive12", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CreateDiskImage(job));
  EXPECT_EQ(job.errorCode, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(world->OpenIoHandles(), 1);  // the other writer's only
  CloseHandle(writer);
  EXPECT_EQ(Run(12, false), 0u);
}

// ---- The dialog ----

TEST_F(ImagerTest, ARunThroughTheDialogPostsEveryPercentageAndReportsSuccess) {
  AddDrive(1, 1946, {1});
  CTidewellDlg& d = OpenWithSource(L"E", 1);
  SetPath(ImagePath());
  ASSERT_TRUE(hl::Click(d, 1015));
  ASSERT_TRUE(Finish());
  std::vector<int> pos = BarPositions();
  // At start 0, the run's 0 and its 1,946 steps, then 100 at the end.
  ASSERT_EQ(pos.size(), 1u + 1 + 1946 + 1);
  std::vector<int> steps(pos.begin() + 2, pos.end() - 1);
  EXPECT_EQ(std::vector<int>(steps.begin(), steps.begin() + 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(steps[99], 5);
  EXPECT_EQ(steps[1943], 99);
  EXPECT_EQ(steps[1944], 99);
  EXPECT_EQ(steps[1945], 100);
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{L"Disk image successfully written."});
  EXPECT_EQ(hl::MessageBoxesShown()[0].caption, fw::AppName());
  EXPECT_EQ(hl::ProgressPos(d, 1020), 100);
  EXPECT_EQ(hl::ProgressState(d, 1020), fw::PBST_NORMAL);
  EXPECT_EQ(Image(), device);
  EXPECT_EQ(d.Image().notifyWindow, nullptr);
  EXPECT_EQ(world->OpenIoHandles(), 0);
}

TEST_F(ImagerTest, TheChecksRunInTheirOrderAndEachStopsTheClick) {
  struct Case {
    const char* name;
    std::optional<std::string> path;  // relative to the test folder; "" empty box
    bool existing;
    bool withSource;
    std::vector<int> answers;
    std::vector<std::wstring> boxes;
    std::wstring pathAfter;  // "=" unchanged
    bool runs;
  } cases[] = {
      {"empty path, no source", "", false, false, {}, {L"The destination image file has not been selected."}, L"=", false},
      {"empty path", "", false, true, {}, {L"The destination image file has not been selected."}, L"=", false},
      {"existing file, No", "old.img", true, true, {fw::IDNO},
       {L"The image file already exists. Should it be overwritten?"}, L"", false},
      {"existing file, Yes, no source", "old.img", true, false, {fw::IDYES},
       {L"The image file already exists. Should it be overwritten?", L"The source drive has not been selected."},
       L"=", false},
      {"new file, no source", "new.img", false, false, {}, {L"The source drive has not been selected."}, L"=", false},
      {"existing file, Yes", "old.img", true, true, {fw::IDYES},
       {L"The image file already exists. Should it be overwritten?", L"Disk image successfully written."}, L"=",
       true},
  };
  AddDrive(5, 4, {1, 2});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hl::ResetScripts();
    const std::u16string path = c.path->empty() ? u"" : U16((dir / *c.path).string());
    if (c.existing) WriteAll(dir / *c.path, "an older, longer image than the drive's few blocks......");
    CTidewellDlg& d = c.withSource ? OpenWithSource(L"G", 5) : Open();
    SetPath(path);
    hl::ScriptMessageBoxAnswers(c.answers);
    ASSERT_TRUE(hl::Click(d, 1015));
    if (c.runs) {
      ASSERT_TRUE(Finish());
    }
    EXPECT_EQ(Boxes(), c.boxes);
    for (std::size_t i = 0; i < c.boxes.size(); ++i) {
      bool question = c.boxes[i].find(L"Should") != std::wstring::npos;
      EXPECT_EQ(hl::MessageBoxesShown()[i].type,
                question ? fw::MB_YESNO | fw::MB_ICONQUESTION : fw::MB_OK | fw::MB_ICONWARNING);
    }
    EXPECT_EQ(Text(1017), c.pathAfter == L"=" ? fw::FromU16(path) : c.pathAfter);
    EXPECT_EQ(hl::Pump(d), 0);  // no run behind the scenes
    if (c.existing) {
      EXPECT_EQ(ReadAll(dir / *c.path) == device, c.runs);
    }
    hl::Close(d);
    world->WaitForThreads();
    dlg.reset();
    fs::remove(dir / "old.img");
  }
}

TEST_F(ImagerTest, ADirectoryAsThePathFailsWithTheSystemsTextAndTheBarInItsErrorState) {
  AddDrive(2, 4, {1});
  CTidewellDlg& d = OpenWithSource(L"E", 2);
  SetPath(U16(dir.string()));
  ASSERT_TRUE(hl::Click(d, 1015));
  EXPECT_EQ(hl::ProgressState(d, 1020), fw::PBST_NORMAL);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{L"Error making disk image.\nAccess is denied.\r\n"});
  EXPECT_EQ(hl::ProgressPos(d, 1020), 100);
  EXPECT_EQ(hl::ProgressState(d, 1020), fw::PBST_ERROR);
  // The next run starts from a normal bar at 0.
  SetPath(ImagePath());
  ASSERT_TRUE(hl::Click(d, 1015));
  EXPECT_EQ(hl::ProgressState(d, 1020), fw::PBST_NORMAL);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(hl::ProgressState(d, 1020), fw::PBST_NORMAL);
}

TEST_F(ImagerTest, AnUnknownCodeStillShowsTheFirstLine) {
  AddDrive(2, 4, {1});
  world->FailIoAt(ImagePath(), true, 0, 1117);  // ERROR_IO_DEVICE: no text in the table
  CTidewellDlg& d = OpenWithSource(L"E", 2);
  SetPath(ImagePath());
  hl::Click(d, 1015);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{L"Error making disk image.\n"});
}

TEST_F(ImagerTest, TheSaveDialogAsksWithTheImageFilterAndFillsThePath) {
  CTidewellDlg& d = Open();
  SetPath(u"C:\\kept.img");
  hl::ScriptSaveFileAnswers({std::nullopt, std::wstring(L"D:\\images\\stick.img")});
  ASSERT_TRUE(hl::Click(d, 1014));
  EXPECT_EQ(Text(1017), L"C:\\kept.img");  // Cancel changes nothing
  ASSERT_TRUE(hl::Click(d, 1014));
  EXPECT_EQ(Text(1017), L"D:\\images\\stick.img");
  const auto& shown = hl::SaveFileDialogsShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].defaultExt, L"Image files");
  EXPECT_EQ(shown[0].fileName, L"");
  EXPECT_EQ(shown[0].flags, fw::OFN_NOTESTFILECREATE);
  EXPECT_EQ(shown[0].filter, L"Image files|*.img|All Files|*.*|");
  EXPECT_EQ(shown[0].owner, nullptr);
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
}

TEST_F(ImagerTest, TheControlsAreLockedWhileTheCopyRunsAndComeBackAfter) {
  AddDrive(3, 6, {1});
  Gate gate;
  world->onDiskRead = [&](DWORD, LONGLONG position) {
    if (position == 2 * kBlock) gate.Arrive();
  };
  CTidewellDlg& d = OpenWithSource(L"F", 3);
  SetPath(ImagePath());
  ASSERT_TRUE(hl::Click(d, 1015));
  ASSERT_TRUE(gate.WaitReached());
  for (int id : kJobControls) EXPECT_FALSE(hl::Enabled(d, id)) << id;
  EXPECT_FALSE(hl::Enabled(d, 1002));
  for (int id : {1035, 1036, 1019, 1041}) EXPECT_TRUE(hl::Enabled(d, id)) << id;
  EXPECT_FALSE(hl::Click(d, 1015));  // no second run
  EXPECT_EQ(d.Image().notifyWindow, d.GetSafeHwnd());
  gate.Release();
  ASSERT_TRUE(Finish());
  for (int id : kJobControls) EXPECT_TRUE(hl::Enabled(d, id)) << id;
  EXPECT_TRUE(hl::Enabled(d, 1002));
  EXPECT_EQ(Text(1017), fw::FromU16(ImagePath()));  // kept for the next run
  EXPECT_EQ(Image(), device);
}

TEST_F(ImagerTest, AWorkerThatCannotBeStartedLeavesTheDialogIdle) {
  AddDrive(3, 4, {1});
  CTidewellDlg& d = OpenWithSource(L"F", 3);
  SetPath(ImagePath());
  world->FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
  ASSERT_TRUE(hl::Click(d, 1015));
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{L"The disk image could not be started.\nNot enough memory "
                                               L"resources are available to process this command.\r\n"});
  for (int id : kJobControls) EXPECT_TRUE(hl::Enabled(d, id)) << id;
  EXPECT_TRUE(hl::Enabled(d, 1002));
  EXPECT_EQ(d.Image().notifyWindow, nullptr);
  // And the next click runs.
  ASSERT_TRUE(hl::Click(d, 1015));
  ASSERT_TRUE(Finish());
  EXPECT_EQ(Image(), device);
}

TEST_F(ImagerTest, ClosingDuringARunStopsAfterTheBlockInHandAndEndsTheDialog) {
  struct Case {
    const char* name;
    std::function<void(CTidewellDlg&)> close;
  } cases[] = {
      {"Escape", [](CTidewellDlg& d) { hl::PressEscape(d); }},
      {"close box", [](CTidewellDlg& d) { hl::SysCommand(d, fw::SC_CLOSE); }},
  };
  AddDrive(3, 20, {1, 2, 3, 4, 5});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hl::ResetScripts();
    Gate gate;
    world->onDiskRead = [&](DWORD, LONGLONG position) {
      if (position == 3 * kBlock) gate.Arrive();
    };
    CTidewellDlg& d = OpenWithSource(L"F", 3);
    SetPath(ImagePath());
    ASSERT_TRUE(hl::Click(d, 1015));
    ASSERT_TRUE(gate.WaitReached());
    c.close(d);
    EXPECT_FALSE(hl::IsEnded(d));  // not while the worker holds the record
    gate.Release();
    ASSERT_TRUE(hl::PumpUntil(d, [&] { return hl::IsEnded(d); }));
    EXPECT_TRUE(hl::MessageBoxesShown().empty());
    EXPECT_EQ(Image(), device.substr(0, 4 * kBlock));  // the block in hand is written
    EXPECT_EQ(world->OpenIoHandles(), 0);
    world->onDiskRead = nullptr;
    hl::Close(d);
    world->WaitForThreads();
    dlg.reset();
    fs::remove(dir / "out.img");
  }
}

TEST_F(ImagerTest, DestroyingTheDialogDuringARunWaitsForTheWorker) {
  AddDrive(3, 50, {1});
  Gate gate;
  world->onDiskRead = [&](DWORD, LONGLONG position) {
    if (position == kBlock) gate.Arrive();
  };
  CTidewellDlg& d = OpenWithSource(L"F", 3);
  SetPath(ImagePath());
  ASSERT_TRUE(hl::Click(d, 1015));
  ASSERT_TRUE(gate.WaitReached());
  hl::Close(d);
  // The worker goes on only once the going dialog has asked it to stop, so
  // the copy cannot finish before the destructor is under way.
  const std::atomic<bool>& stop = d.Image().stopRequested;
  std::thread releaser([&] {
    while (!stop.load()) std::this_thread::yield();
    gate.Release();
  });
  dlg.reset();  // must not return while the worker still reads the record
  releaser.join();
  EXPECT_EQ(world->OpenIoHandles(), 0);
  EXPECT_LT(Image().size(), device.size());
}

}  // namespace

namespace {

TEST_F(ImagerTest, TheDemoDrivesHoldAPartitionTableAndDataThenZeros) {
  ASSERT_TRUE(AddDemoDisks(*world, U16(dir.string())));
  constexpr std::size_t kCylinder = 255 * 63 * 512;
  struct Case {
    DWORD number;
    bool shortImage;
    std::size_t cylinders;
  } cases[] = {{3, true, 13}, {4, false, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    ASSERT_EQ(Run(c.number, c.shortImage), 0u);
    std::string image = Image();
    ASSERT_EQ(image.size(), c.cylinders * kCylinder);
    EXPECT_EQ(image.substr(510, 2), "\x55\xAA");
    EXPECT_EQ(image[446 + 4], 0x0C);
    std::string drive =
        ReadAll(dir / ("TidewellDemo-PhysicalDrive" + std::to_string(c.number) + ".bin"), image.size());
    EXPECT_TRUE(image == drive);
  }
}

}  // namespace
