// Against the real registry of the Wine prefix the tests run in.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "base/WideText.h"
#include "store/RegistryRunEntry.h"
#include "store/SettingsStore.h"

namespace brisalune {
namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The Run value as the registry holds it, or nothing.
std::optional<std::wstring> runValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, L"Brisalune", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size % sizeof(wchar_t), 0u);
    // Stored with its terminating zero.
    EXPECT_EQ(data[size / sizeof(wchar_t) - 1], L'\0');
    return std::wstring(data);
}

void setRunValueBytes(const void* bytes, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Brisalune", 0, REG_BINARY, static_cast<const BYTE*>(bytes), size);
    RegCloseKey(key);
}

class RegistryRunEntryTest : public ::testing::Test {
  protected:
    void SetUp() override { entry.RemoveRunEntry(); }
    void TearDown() override { entry.RemoveRunEntry(); }
    RegistryRunEntry entry;
};

TEST_F(RegistryRunEntryTest, AddsQueriesAndRemovesTheRunValue) {
    EXPECT_FALSE(entry.IsRunEntryPresent());
    EXPECT_FALSE(runValue().has_value());

    entry.AddRunEntry("\"C:\\Program Files\\M\xC3\xA9t\xC3\xA9o\\Brisalune.exe\" -s");
    EXPECT_TRUE(entry.IsRunEntryPresent());
    EXPECT_EQ(runValue(),
              std::wstring(L"\"C:\\Program Files\\M\u00e9t\u00e9o\\Brisalune.exe\" -s"));

    entry.RemoveRunEntry();
    EXPECT_FALSE(entry.IsRunEntryPresent());
    entry.RemoveRunEntry();
    EXPECT_FALSE(runValue().has_value());
}

TEST_F(RegistryRunEntryTest, AValueLargerThanTheReadBufferCountsAsAbsent) {
    const std::vector<char> big(600, 'x');
    setRunValueBytes(big.data(), static_cast<DWORD>(big.size()));
    EXPECT_FALSE(entry.IsRunEntryPresent());
    const std::vector<char> small(512, 'x');
    setRunValueBytes(small.data(), static_cast<DWORD>(small.size()));
    EXPECT_TRUE(entry.IsRunEntryPresent());
}

TEST_F(RegistryRunEntryTest, SettingsFollowTheRegistry) {
    test::ScratchDir dir;
    SettingsStore store("0", "1", "3", "1");
    store.attach(dir.path(), &entry);
    store.Load();
    EXPECT_EQ(store.values.startonboot, "0") << "no Run value: start on boot is off";

    store.values.startonboot = "1";
    store.Save();
    EXPECT_EQ(runValue(), widen("\"" + dir.path() + "\\Brisalune.exe\" -s"));

    SettingsStore reloaded("0", "1", "3", "0");
    reloaded.attach(dir.path(), &entry);
    reloaded.Load();
    EXPECT_EQ(reloaded.values.startonboot, "1");

    reloaded.values.startonboot = "0";
    reloaded.Save();
    EXPECT_FALSE(runValue().has_value());
}

}  // namespace
}  // namespace brisalune
