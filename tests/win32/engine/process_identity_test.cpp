#include <windows.h>

#include <gtest/gtest.h>

#include "engine/win32/processes.h"
#include "tests/support/child_process.h"

namespace quorvant::win32 {
namespace {

using testing_support::ChildProcess;

TEST(ProcessIdentityTest, OpensAProcessOnlyWhileItsIdentityHolds) {
  ChildProcess child;
  ASSERT_NE(child.Id(), 0u);
  const auto identity = IdentityOfId(child.Id());
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->id, child.Id());
  EXPECT_NE(identity->started, 0u);
  // Read twice, the same process gives the same identity.
  EXPECT_EQ(IdentityOfId(child.Id()), identity);

  EXPECT_TRUE(OpenIdentified(*identity, PROCESS_SET_INFORMATION));
  // The same id with another creation time is a process started later: never opened.
  EXPECT_FALSE(OpenIdentified({identity->id, identity->started + 1}, PROCESS_SET_INFORMATION));
  EXPECT_FALSE(OpenIdentified({identity->id, 0}, PROCESS_SET_INFORMATION));

  child.End();
  EXPECT_FALSE(OpenIdentified(*identity, PROCESS_SET_INFORMATION));
  // Its id may already name another process; never this one.
  EXPECT_NE(IdentityOfId(identity->id), identity);
}

}  // namespace
}  // namespace quorvant::win32
