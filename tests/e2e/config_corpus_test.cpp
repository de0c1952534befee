// Config.ini files of every odd shape a user's disk may hold: the program starts, reads the
// six settings as expected and keeps what it does not know when it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;

// What the six controls show after start-up.
struct Shown {
  int improve = 0;
  std::wstring speed = L"Above Normal";
  int autoFree = 0;
  std::wstring interval = L"5 minute";
  int autorun = 0;
  int automin = 0;
  friend bool operator==(const Shown&, const Shown&) = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
  auto narrow = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
  return out << "improve=" << s.improve << " speed=" << narrow(s.speed)
             << " autoFree=" << s.autoFree << " interval=" << narrow(s.interval)
             << " autorun=" << s.autorun << " automin=" << s.automin;
}

// Foreign content every case carries and the program must keep.
const std::string kForeign = "[Foreign]\r\nKeep=me\r\n; a comment the user wrote\r\n";

std::string Utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (const char c : ascii) out += c, out += '\0';
  return out;
}

struct Case {
  const char* name;
  std::string bytes;
  Shown shown;
};

std::vector<Case> Corpus() {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919 + 13) % 255 + 1);
  std::string big = "[Process]\r\nEnableImproveProcess=1\r\n" + kForeign + "[Padding]\r\n";
  for (int i = 0; big.size() < 2 * 1024 * 1024; ++i) {
    big += "Key" + std::to_string(i) + "=" + std::string(40, 'x') + "\r\n";
  }
  const std::string settings =
      "[Process]\r\nImproveSpeed=High\r\n[Memory]\r\nAutoFreeMemoryInterval=1 minute\r\n";
  return {
      {"garbage text", "lorem ipsum\r\n===\r\n[[[\r\n]]]=\r\n" + kForeign, {}},
      {"binary bytes", binary + "\r\n" + kForeign, {}},
      {"2 MB", big, {.improve = 1}},
      {"NUL bytes", std::string("[Setting]\r\nAutomin=0\r\n\0\0\0junk\0\r\n", 30) + kForeign, {}},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + settings + kForeign,
       {.speed = L"High", .interval = L"1 minute"}},
      {"UTF-16 with BOM", Utf16(settings + kForeign), {.speed = L"High", .interval = L"1 minute"}},
      {"duplicate keys",
       "[Memory]\r\nEnableFreeMemory=1\r\nEnableFreeMemory=0\r\n[Memory]\r\nEnableFreeMemory=0\r\n" +
           kForeign,
       {.autoFree = 1}},
      {"mixed line ends",
       "[Process]\nImproveSpeed=High\r\n[Memory]\r\nAutoFreeMemoryInterval=3 minute\n" + kForeign,
       {.speed = L"High", .interval = L"3 minute"}},
  };
}

int CheckOf(HWND main, const wchar_t* caption) {
  const HWND box = FindDescendantByText(main, caption);
  return box ? static_cast<int>(::SendMessageW(box, BM_GETCHECK, 0, 0)) : -1;
}

// A drop-down list's window text is its selected item.
std::wstring ListWithItems(HWND main, int count) {
  struct Search {
    int count;
    HWND found;
  } search{count, nullptr};
  ::EnumChildWindows(
      main,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t cls[32] = {};
        (void)::GetClassNameW(child, cls, 32);
        if (std::wstring(cls) != L"ComboBox" ||
            ::SendMessageW(child, CB_GETCOUNT, 0, 0) != s->count) {
          return TRUE;
        }
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found ? WindowText(search.found) : L"<no list>";
}

TEST(ConfigCorpusTest, OddFilesStartReadAsExpectedAndKeepForeignContent) {
  for (const auto& c : Corpus()) {
    SCOPED_TRACE(c.name);
    AppFolder folder;
    {
      std::ofstream out(std::filesystem::path(folder.ConfigIni()), std::ios::binary);
      out.write(c.bytes.data(), static_cast<std::streamsize>(c.bytes.size()));
    }
    AppProcess app(folder.Exe());
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = app.MainWindow()) != nullptr; }, 20s));
    app.WaitForIdle();
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }));

    Shown shown;
    shown.improve = CheckOf(main, L"Enable speed up process");
    shown.speed = ListWithItems(main, 2);
    shown.autoFree = CheckOf(main, L"Automatically release memory");
    shown.interval = ListWithItems(main, 4);
    shown.autorun = CheckOf(main, L"Start with windows");
    shown.automin = CheckOf(main, L"Auto minimize on start up");
    EXPECT_EQ(shown, c.shown);

    // Start-up has written the lists' values; what the program does not know stays.
    const std::string after = folder.ConfigBytes();
    const bool wide = after.rfind("\xFF\xFE", 0) == 0;
    for (const std::string& kept : {std::string("Keep=me"), std::string("; a comment the user wrote")}) {
      EXPECT_NE(after.find(wide ? Utf16(kept).substr(2) : kept), std::string::npos) << kept;
    }
  }
}

}  // namespace
}  // namespace quorvant::e2e
