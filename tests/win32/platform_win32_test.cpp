// The real platform's error texts, as the tools show them.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(Win32Platform, ErrorTextIsTheSystemsAndKeepsTheLastError) {
  plat::SetLastError(1234);
  EXPECT_EQ(plat::ErrorText(25), u"Seek error.\r\n");
  EXPECT_EQ(plat::GetLastError(), 1234u);
}

}  // namespace
