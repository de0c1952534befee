#include <gtest/gtest.h>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteRunValue(HKEY_LOCAL_MACHINE);
    DeleteRunValue(HKEY_CURRENT_USER);
  }
  void TearDown() override {
    DeleteRunValue(HKEY_LOCAL_MACHINE);
    DeleteRunValue(HKEY_CURRENT_USER);
  }

  // Waits until the program's start-up has finished: its window is shown (or, when it is
  // to start hidden, its message loop answers).
  static HWND StartAndWait(const AppProcess& app, bool shown = true) {
    HWND main = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (main = app.MainWindow()) != nullptr; }));
    app.WaitForIdle();
    if (main && shown) EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
    if (main && !shown) {
      (void)::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_BLOCK, 10000, nullptr);
    }
    return main;
  }

  AppFolder folder_;
};

TEST_F(StartupTest, FirstStartShowsTheCentredWindowAndWritesTheListDefaults) {
  AppProcess app(folder_.Exe());
  HWND main = StartAndWait(app);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WindowText(main), L"Quorvant");

  RECT r{};
  ASSERT_TRUE(::GetWindowRect(main, &r)) << "GetWindowRect: " << ::GetLastError();
  EXPECT_EQ(r.right - r.left, 786);
  EXPECT_EQ(r.bottom - r.top, 557);
  const int screenW = ::GetSystemMetrics(SM_CXSCREEN), screenH = ::GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(r.left, (screenW - 786) / 2.0, 1.0);
  EXPECT_NEAR(r.top, (screenH - 557) / 2.0, 1.0);

  // A fresh drop-down list takes its default, written back as a user's choice would be;
  // untouched check boxes write nothing.
  EXPECT_EQ(folder_.ReadConfig(L"Process", L"ImproveSpeed"), L"Above Normal");
  EXPECT_EQ(folder_.ReadConfig(L"Memory", L"AutoFreeMemoryInterval"), L"5 minute");
  EXPECT_EQ(folder_.ReadConfig(L"Setting", L"Autorun"), L"<missing>");
  EXPECT_EQ(ReadRunValue(HKEY_LOCAL_MACHINE), L"");
  // Config.ini stays a plain ANSI file.
  const std::string bytes = folder_.ConfigBytes();
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.find("ImproveSpeed=Above Normal"), std::string::npos);
}

TEST_F(StartupTest, SecondStartShowsTheMessageAndEndsWhileTheFirstRuns) {
  AppProcess first(folder_.Exe());
  HWND main = StartAndWait(first);
  ASSERT_NE(main, nullptr);
  const std::string configBefore = folder_.ConfigBytes();

  AppProcess second(folder_.Exe());
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = second.FindTopLevel(L"#32770", L"Quorvant")) != nullptr; }));
  // The message box's text sits in its static control 0xFFFF.
  EXPECT_EQ(WindowText(::GetDlgItem(box, 0xFFFF)), L"Quorvant already in running.");
  EXPECT_EQ(second.MainWindow(), nullptr) << "the second instance shows no window of its own";

  (void)::PostMessageW(box, WM_COMMAND, IDOK, 0);
  DWORD exitCode = 1;
  ASSERT_TRUE(second.WaitForExit(10s, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(::IsWindowVisible(main));
  EXPECT_EQ(folder_.ConfigBytes(), configBefore) << "the second instance writes nothing";
}

TEST_F(StartupTest, AutominStartsWithoutAVisibleWindow) {
  folder_.WriteConfig(L"Setting", L"Automin", L"1");
  AppProcess app(folder_.Exe());
  HWND main = StartAndWait(app, /*shown=*/false);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(app.Running());
  EXPECT_FALSE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }, 1s));
  EXPECT_EQ(folder_.ReadConfig(L"Setting", L"Automin"), L"1");
}

TEST_F(StartupTest, StoredSettingsAreRestoredAndAutorunRegistersTheQuotedPath) {
  folder_.WriteConfig(L"Process", L"EnableImproveProcess", L" 1 ");
  folder_.WriteConfig(L"Process", L"ImproveSpeed", L"High");
  folder_.WriteConfig(L"Memory", L"AutoFreeMemoryInterval", L"Turbo");
  folder_.WriteConfig(L"Setting", L"Autorun", L"1");
  AppProcess app(folder_.Exe());
  HWND main = StartAndWait(app);
  ASSERT_NE(main, nullptr);

  HWND improve = FindDescendantByText(main, L"Enable speed up process");
  ASSERT_NE(improve, nullptr);
  EXPECT_EQ(::SendMessageW(improve, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(folder_.ReadConfig(L"Process", L"EnableImproveProcess"), L"1");
  EXPECT_EQ(folder_.ReadConfig(L"Process", L"ImproveSpeed"), L"High");
  EXPECT_EQ(folder_.ReadConfig(L"Memory", L"AutoFreeMemoryInterval"), L"5 minute");
  EXPECT_EQ(ReadRunValue(HKEY_LOCAL_MACHINE), L"\"" + folder_.Exe() + L"\"");
}

TEST_F(StartupTest, ClickingASettingsCheckBoxRewritesItsKeyAtOnce) {
  AppProcess app(folder_.Exe());
  HWND main = StartAndWait(app);
  ASSERT_NE(main, nullptr);

  HWND autoMin = FindDescendantByText(main, L"Auto minimize on start up");
  ASSERT_NE(autoMin, nullptr);
  (void)::SendMessageW(autoMin, BM_CLICK, 0, 0);
  EXPECT_EQ(folder_.ReadConfig(L"Setting", L"Automin"), L"1");
  EXPECT_TRUE(::IsWindowVisible(main)) << "Automin takes effect at the next start only";

  HWND autoRun = FindDescendantByText(main, L"Start with windows");
  ASSERT_NE(autoRun, nullptr);
  (void)::SendMessageW(autoRun, BM_CLICK, 0, 0);
  EXPECT_EQ(folder_.ReadConfig(L"Setting", L"Autorun"), L"1");
  EXPECT_EQ(ReadRunValue(HKEY_LOCAL_MACHINE), L"\"" + folder_.Exe() + L"\"");
  (void)::SendMessageW(autoRun, BM_CLICK, 0, 0);
  EXPECT_EQ(folder_.ReadConfig(L"Setting", L"Autorun"), L"0");
  EXPECT_EQ(ReadRunValue(HKEY_LOCAL_MACHINE), L"");
}

}  // namespace
}  // namespace quorvant::e2e
