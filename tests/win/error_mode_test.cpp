// The quiet error mode around a volume-label read belongs to the calling
// thread only: another thread's reads and the process's mode are left alone.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win/win_handles.h"

namespace plexi::win {
namespace {

TEST(ScopedErrorMode, QuietensThisThreadOnlyAndRestoresIt) {
  const UINT process_before = GetErrorMode();
  const DWORD thread_before = GetThreadErrorMode();
  {
    ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
    EXPECT_NE(GetThreadErrorMode() & SEM_FAILCRITICALERRORS, 0u);
    EXPECT_EQ(GetErrorMode(), process_before);
    {
      // Nested: the inner scope gives back the outer one's mode.
      ScopedErrorMode inner(SEM_NOOPENFILEERRORBOX);
      EXPECT_EQ(GetThreadErrorMode(), thread_before | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }
    EXPECT_EQ(GetThreadErrorMode(), thread_before | SEM_FAILCRITICALERRORS);
  }
  EXPECT_EQ(GetThreadErrorMode(), thread_before);
  EXPECT_EQ(GetErrorMode(), process_before);
}

}  // namespace
}  // namespace plexi::win
