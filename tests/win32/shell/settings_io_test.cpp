#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "shell/core/autorun_value.h"
#include "shell/win32/ini_settings_store.h"
#include "shell/win32/autorun.h"

namespace quorvant::win32 {
namespace {

std::wstring ScratchFile(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  (void)::GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + name;
  (void)::DeleteFileW(path.c_str());
  return path;
}

std::string Bytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(IniSettingsStoreTest, RoundTripsEveryKeyThroughTheRealFile) {
  const std::wstring path = ScratchFile(L"quorvant-roundtrip.ini");
  IniSettingsStore store(path);
  EXPECT_EQ(store.Read(shell::kAutorun), L"") << "a missing file reads as empty";

  const std::pair<shell::SettingKey, std::wstring> values[] = {
      {shell::kEnableImproveProcess, L"1"}, {shell::kImproveSpeed, L"Above Normal"},
      {shell::kEnableFreeMemory, L"0"},     {shell::kAutoFreeMemoryInterval, L"10 minute"},
      {shell::kAutorun, L"2"},              {shell::kAutomin, L"1"},
  };
  for (const auto& [key, value] : values) store.Write(key, value);
  IniSettingsStore again(path);
  for (const auto& [key, value] : values) EXPECT_EQ(again.Read(key), value);

  const std::string bytes = Bytes(path);
  EXPECT_NE(bytes.find("[Memory]"), std::string::npos);
  EXPECT_NE(bytes.find("AutoFreeMemoryInterval=10 minute"), std::string::npos);
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE") << "written as ANSI text, not UTF-16";
  (void)::DeleteFileW(path.c_str());
}

TEST(IniSettingsStoreTest, TrimsBlanksCutsLongValuesAndLeavesOtherKeysAlone) {
  const std::wstring path = ScratchFile(L"quorvant-foreign.ini");
  {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << "[Setting]\r\nAutomin=  1  \r\nTheme=dark\r\n[Other]\r\nKeep=me\r\n"
        << "[Process]\r\nImproveSpeed=" << std::string(300, 'x') << "\r\n";
  }
  IniSettingsStore store(path);
  EXPECT_EQ(store.Read(shell::kAutomin), L"1");
  EXPECT_EQ(store.Read(shell::kImproveSpeed), std::wstring(254, L'x'));

  store.Write(shell::kAutomin, L"0");
  const std::string bytes = Bytes(path);
  EXPECT_NE(bytes.find("Theme=dark"), std::string::npos);
  EXPECT_NE(bytes.find("Keep=me"), std::string::npos);
  EXPECT_EQ(store.Read(shell::kAutomin), L"0");
  (void)::DeleteFileW(path.c_str());
}

// The Run value in the real registry, under a scratch key so the test touches nothing else.
class RunKeyTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kScratch[] = L"Software\\QuorvantTests\\Run";

  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    (void)::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\QuorvantTests");
    (void)::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuorvantTests");
  }
  static std::wstring Read(HKEY root, DWORD* type = nullptr, DWORD* bytes = nullptr) {
    wchar_t data[512] = {};
    DWORD size = sizeof(data);
    DWORD kind = 0;
    if (::RegGetValueW(root, kScratch, L"Quorvant", RRF_RT_ANY, &kind, data, &size) !=
        ERROR_SUCCESS) {
      return L"<none>";
    }
    if (type) *type = kind;
    if (bytes) *bytes = size;
    return data;
  }
};

TEST_F(RunKeyTest, WritesAQuotedRegSzWithItsNulAndRemovesIt) {
  RegistryRunKeys keys(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, kScratch);
  shell::AddAutorun(keys, L"C:\\Program Files\\Quorvant\\quorvant.exe");
  DWORD type = 0, bytes = 0;
  const std::wstring expected = L"\"C:\\Program Files\\Quorvant\\quorvant.exe\"";
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, &type, &bytes), expected);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, (expected.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(Read(HKEY_CURRENT_USER), L"<none>");

  shell::RemoveAutorun(keys);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE), L"<none>");
}

TEST_F(RunKeyTest, FallsBackToTheUserWhenTheMachineKeyCannotBeOpened) {
  // A machine root that refuses every open stands for a user without administrative rights.
  const HKEY refused = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7FFFFFF0));
  RegistryRunKeys keys(refused, HKEY_CURRENT_USER, kScratch);
  ASSERT_FALSE(keys.SetValue(shell::RunScope::Machine, L"probe"));

  shell::AddAutorun(keys, L"C:\\Tools\\quorvant.exe");
  EXPECT_EQ(Read(HKEY_CURRENT_USER), L"C:\\Tools\\quorvant.exe");
  shell::RemoveAutorun(keys);
  EXPECT_EQ(Read(HKEY_CURRENT_USER), L"<none>");
}

}  // namespace
}  // namespace quorvant::win32
