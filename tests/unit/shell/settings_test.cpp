#include "shell/core/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "shell/core/autorun_value.h"

namespace quorvant::shell {
namespace {

// Config.ini and the Run value as the settings see them, with a journal of what was done.
class FakePlatform : public SettingsStore, public AutorunEntry {
 public:
  std::wstring Read(SettingKey key) override {
    const auto it = file.find(Name(key));
    return it == file.end() ? L"" : it->second;
  }
  bool Write(SettingKey key, std::wstring_view value) override {
    if (readOnly) return false;
    file[Name(key)] = value;
    journal.push_back(L"write " + Name(key) + L"=" + std::wstring(value));
    return true;
  }
  void Add() override {
    runValue = true;
    journal.push_back(L"add");
  }
  void Remove() override {
    runValue = false;
    journal.push_back(L"remove");
  }
  static std::wstring Name(SettingKey key) {
    return std::wstring(key.section) + L"/" + std::wstring(key.key);
  }

  std::map<std::wstring, std::wstring> file;
  std::vector<std::wstring> journal;
  bool runValue = false;
  bool readOnly = false;
};

TEST(CheckStateFromStoredTest, AcceptsOnlyTheThreeStates) {
  const std::pair<std::wstring_view, int> cases[] = {
      {L"0", 0},   {L"1", 1}, {L"2", 2},  {L" 1 ", 1}, {L"01", 1},  {L"", 0},
      {L"abc", 0}, {L"7", 0}, {L"-1", 0}, {L"1.0", 0}, {L"1 1", 0}, {L"99999999999", 0},
  };
  for (const auto& [stored, state] : cases) {
    EXPECT_EQ(CheckStateFromStored(stored), state) << std::string(stored.begin(), stored.end());
  }
}

TEST(ComboTextFromStoredTest, TakesOnlyListedItemsExactly) {
  EXPECT_EQ(ComboTextFromStored(L"High", kSpeedItems, kDefaultSpeed), L"High");
  EXPECT_EQ(ComboTextFromStored(L" High ", kSpeedItems, kDefaultSpeed), L"High");
  EXPECT_EQ(ComboTextFromStored(L"high", kSpeedItems, kDefaultSpeed), L"Above Normal");
  EXPECT_EQ(ComboTextFromStored(L"Turbo", kSpeedItems, kDefaultSpeed), L"Above Normal");
  EXPECT_EQ(ComboTextFromStored(L"", kIntervalItems, kDefaultInterval), L"5 minute");
  EXPECT_EQ(ComboTextFromStored(L"10 minute", kIntervalItems, kDefaultInterval), L"10 minute");
}

// What the start-up does with each stored file: the controls' states, what is written back
// (in order), and what happens to the Run value.
TEST(SettingsTest, StartUpAppliesStoredValuesInOrder) {
  struct Case {
    const char* name;
    std::map<std::wstring, std::wstring> file;
    SettingsState state;
    std::vector<std::wstring> journal;
    bool hidden;
  };
  const Case cases[] = {
      {"no file: defaults, combos written, Run value removed",
       {},
       {0, L"Above Normal", 0, L"5 minute", 0, 0},
       {L"write Process/ImproveSpeed=Above Normal", L"write Memory/AutoFreeMemoryInterval=5 minute",
        L"remove"},
       false},
      {"everything on",
       {{L"Process/EnableImproveProcess", L"1"},
        {L"Process/ImproveSpeed", L"High"},
        {L"Memory/EnableFreeMemory", L" 1 "},
        {L"Memory/AutoFreeMemoryInterval", L"1 minute"},
        {L"Setting/Autorun", L"1"},
        {L"Setting/Automin", L"1"}},
       {1, L"High", 1, L"1 minute", 1, 1},
       {L"write Process/EnableImproveProcess=1", L"write Process/ImproveSpeed=High",
        L"write Memory/EnableFreeMemory=1", L"write Memory/AutoFreeMemoryInterval=1 minute", L"add",
        L"write Setting/Autorun=1", L"add", L"write Setting/Automin=1"},
       true},
      {"the calm on, read with the process panel's settings",
       {{L"Process/CalmBackgroundProcesses", L"1"}, {L"Process/EnableImproveProcess", L"0"}},
       {0, L"Above Normal", 0, L"5 minute", 0, 0, 1},
       {L"write Process/ImproveSpeed=Above Normal", L"write Process/CalmBackgroundProcesses=1",
        L"write Memory/AutoFreeMemoryInterval=5 minute", L"remove"},
       false},
      {"grey Autorun adds, writes 2 back, then removes",
       {{L"Setting/Autorun", L"2"}},
       {0, L"Above Normal", 0, L"5 minute", 2, 0},
       {L"write Process/ImproveSpeed=Above Normal", L"write Memory/AutoFreeMemoryInterval=5 minute",
        L"add", L"write Setting/Autorun=2", L"remove"},
       false},
      {"out-of-format values fall back without writing unchanged check boxes",
       {{L"Process/EnableImproveProcess", L"abc"},
        {L"Process/ImproveSpeed", L"Turbo"},
        {L"Memory/EnableFreeMemory", L"7"},
        {L"Memory/AutoFreeMemoryInterval", L""},
        {L"Setting/Autorun", L"-1"},
        {L"Setting/Automin", L"2"}},
       {0, L"Above Normal", 0, L"5 minute", 0, 2},
       {L"write Process/ImproveSpeed=Above Normal", L"write Memory/AutoFreeMemoryInterval=5 minute",
        L"remove", L"write Setting/Automin=2"},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.file = c.file;
    Settings settings(platform, platform);
    EXPECT_EQ(settings.ApplyStored(), c.hidden);
    const SettingsState& s = settings.State();
    EXPECT_EQ(s.improveProcess, c.state.improveProcess);
    EXPECT_EQ(s.improveSpeed, c.state.improveSpeed);
    EXPECT_EQ(s.autoFreeMemory, c.state.autoFreeMemory);
    EXPECT_EQ(s.freeMemoryInterval, c.state.freeMemoryInterval);
    EXPECT_EQ(s.autorun, c.state.autorun);
    EXPECT_EQ(s.automin, c.state.automin);
    EXPECT_EQ(s.calmBackground, c.state.calmBackground);
    EXPECT_EQ(platform.journal, c.journal);
  }
}

TEST(SettingsTest, TogglingAutorunOnAndOffLeavesNoRunValue) {
  FakePlatform platform;
  Settings settings(platform, platform);
  settings.ChangeAutorun(1);
  EXPECT_TRUE(platform.runValue);
  EXPECT_EQ(platform.file[L"Setting/Autorun"], L"1");
  settings.ChangeAutorun(0);
  EXPECT_FALSE(platform.runValue);
  EXPECT_EQ(platform.file[L"Setting/Autorun"], L"0");
}

TEST(SettingsTest, AutominChangeOnlyWritesTheKey) {
  FakePlatform platform;
  Settings settings(platform, platform);
  settings.ChangeAutomin(1);
  EXPECT_EQ(platform.journal, std::vector<std::wstring>{L"write Setting/Automin=1"});
}

TEST(SettingsTest, AFailedWriteIsReportedAndTheNewValueStillHolds) {
  FakePlatform platform;
  platform.readOnly = true;
  Settings settings(platform, platform);
  std::vector<std::wstring> failed;
  settings.writeFailed = [&](SettingKey key) { failed.push_back(FakePlatform::Name(key)); };
  settings.ChangeImproveProcess(1);
  settings.ChangeFreeMemoryInterval(L"1 minute");
  EXPECT_EQ(failed, (std::vector<std::wstring>{L"Process/EnableImproveProcess",
                                               L"Memory/AutoFreeMemoryInterval"}));
  EXPECT_EQ(settings.State().improveProcess, kChecked) << "the program uses what the control shows";
  EXPECT_EQ(settings.State().freeMemoryInterval, L"1 minute");
}

TEST(AutorunCommandTest, BuildsTheExePathAndQuotesItWhenItHasASpace) {
  EXPECT_EQ(AutorunCommand(L"C:\\Tools\\quorvant.exe"), L"C:\\Tools\\quorvant.exe");
  EXPECT_EQ(AutorunCommand(L"C:\\Tools\\QUORVANT.EXE"), L"C:\\Tools\\QUORVANT.exe");
  EXPECT_EQ(AutorunCommand(L"C:\\Program Files\\Quorvant\\quorvant.exe"),
            L"\"C:\\Program Files\\Quorvant\\quorvant.exe\"");
  EXPECT_EQ(AutorunCommand(L"C:\\a.b\\quorvant"), L"C:\\a.b\\quorvant.exe");
}

}  // namespace
}  // namespace quorvant::shell

namespace quorvant::shell {
namespace {

class FakeRunKeys : public RunKeyAccess {
 public:
  bool SetValue(RunScope scope, std::wstring_view data) override {
    if (scope == RunScope::Machine && machineDenied) return false;
    values[scope] = data;
    return true;
  }
  void DeleteValue(RunScope scope) override { values.erase(scope); }

  bool machineDenied = false;
  std::map<RunScope, std::wstring> values;
};

TEST(AutorunTest, WritesMachineWideOrFallsBackToTheUser) {
  const std::wstring exe = L"C:\\My Tools\\quorvant.exe";
  const std::wstring quoted = L"\"C:\\My Tools\\quorvant.exe\"";
  for (const bool denied : {false, true}) {
    SCOPED_TRACE(denied ? "machine key denied" : "machine key writable");
    FakeRunKeys keys;
    keys.machineDenied = denied;
    keys.values[RunScope::User] = L"stale";
    AddAutorun(keys, exe);
    const RunScope where = denied ? RunScope::User : RunScope::Machine;
    ASSERT_EQ(keys.values.size(), 1u) << "exactly one Run value, so it starts once";
    EXPECT_EQ(keys.values[where], quoted);
    RemoveAutorun(keys);
    EXPECT_TRUE(keys.values.empty());
  }
}

}  // namespace
}  // namespace quorvant::shell
