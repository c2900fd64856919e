// The simulated platform must answer as the real one does, or the program's
// tests prove nothing: the time conversions and the mutex semantics the
// program relies on.
#include <gtest/gtest.h>

#include "platform/sim/sim.h"

using namespace plat;

namespace {

TEST(SimPlatform, CalendarConversionsMatchKnownInstants) {
  sim::ScopedWorld w;
  struct Case {
    std::int64_t unix;
    WORD y, mo, d, h, mi, s, dow;
  } cases[] = {
      {0, 1970, 1, 1, 0, 0, 0, 4},
      {946684800, 2000, 1, 1, 0, 0, 0, 6},
      {951782400, 2000, 2, 29, 0, 0, 0, 2},
      {1765000000, 2025, 12, 6, 5, 46, 40, 6},
      {-2208988800LL, 1900, 1, 1, 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SYSTEMTIME st{};
    FILETIME ft = sim::FileTimeFromUnix(c.unix);
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, c.y);
    EXPECT_EQ(st.wMonth, c.mo);
    EXPECT_EQ(st.wDay, c.d);
    EXPECT_EQ(st.wHour, c.h);
    EXPECT_EQ(st.wMinute, c.mi);
    EXPECT_EQ(st.wSecond, c.s);
    EXPECT_EQ(st.wDayOfWeek, c.dow);
    std::tm t{};
    t.tm_year = c.y - 1900;
    t.tm_mon = c.mo - 1;
    t.tm_mday = c.d;
    t.tm_hour = c.h;
    t.tm_min = c.mi;
    t.tm_sec = c.s;
    t.tm_isdst = -1;
    EXPECT_EQ(plat::_mktime64(&t), c.unix >= 0 ? c.unix : -1);
  }
}

TEST(SimPlatform, ASecondCreatorOfANamedMutexIsToldItExists) {
  sim::ScopedWorld w;
  HANDLE a = CreateMutexW(nullptr, 1, u"M");
  EXPECT_EQ(GetLastError(), 0u);
  HANDLE b = CreateMutexW(nullptr, 0, u"M");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  // The owner may take it again; another thread times out.
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
  DWORD other = 0;
  std::thread([&] { other = WaitForSingleObject(b, 10); }).join();
  EXPECT_EQ(other, WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(a));
  EXPECT_TRUE(ReleaseMutex(a));
  EXPECT_FALSE(ReleaseMutex(a));
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_FALSE(w->MutexExists(u"M"));
}

}  // namespace
