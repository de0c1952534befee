#include "engine/win32/system_process_walk.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "engine/win32/processes.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"

namespace quorvant::win32 {
namespace {

using testing_support::Burner;
using testing_support::ChildProcess;

std::optional<engine::SystemProcess> Find(std::uint32_t id) {
  const auto walk = WalkSystemProcesses();
  if (!walk) return std::nullopt;
  for (const auto& process : *walk) {
    if (process.id == id) return process;
  }
  return std::nullopt;
}

TEST(SystemProcessWalkTest, FindsAChildWithItsIdentityParentSessionAndName) {
  ChildProcess child;
  ASSERT_NE(child.Id(), 0u) << "CreateProcess failed: " << ::GetLastError();
  const auto identity = IdentityOfId(child.Id());
  ASSERT_TRUE(identity) << "OpenProcess failed: " << ::GetLastError();

  const auto found = Find(child.Id());
  ASSERT_TRUE(found) << "the walk did not list the child";
  EXPECT_EQ(found->Identity(), *identity);
  EXPECT_EQ(found->parentId, ::GetCurrentProcessId());
  DWORD session = 0;
  ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) << ::GetLastError();
  EXPECT_EQ(found->sessionId, session);
  EXPECT_EQ(UpperFileName(found->imageName), L"CMD.EXE");

  child.End();
  const auto after = Find(identity->id);
  EXPECT_TRUE(!after || after->Identity() != *identity) << "an ended child is still listed";
}

TEST(SystemProcessWalkTest, ProcessorTimeGrowsWhileABurnerRuns) {
  Burner burner;
  ASSERT_NE(burner.Id(), 0u) << "CreateProcess failed: " << ::GetLastError();
  const auto first = Find(burner.Id());
  ASSERT_TRUE(first);
  // The burner burns a whole core: its time must move within a few scheduler slices.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::uint64_t latest = first->cpuTime;
  while (latest <= first->cpuTime && std::chrono::steady_clock::now() < deadline) {
    ::Sleep(50);
    const auto again = Find(burner.Id());
    ASSERT_TRUE(again) << "the burner left the walk";
    latest = again->cpuTime;
  }
  EXPECT_GT(latest, first->cpuTime);
}

}  // namespace
}  // namespace quorvant::win32
