// Against the real registry of the Wine prefix the tests run in.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "store/RegistryRunEntry.h"

namespace brisalune {
namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The Run value as the registry holds it: a string stored with its terminating zero.
std::optional<std::wstring> runValue() {
    HKEY key = nullptr;
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const bool found = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) == 0 &&
                       RegQueryValueExW(key, L"Brisalune", nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &size) == 0;
    RegCloseKey(key);
    if (!found) {
        return std::nullopt;
    }
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data[size / sizeof(wchar_t) - 1], L'\0');
    return std::wstring(data);
}

class RegistryRunEntryTest : public ::testing::Test {
  protected:
    void SetUp() override { entry.RemoveRunEntry(); }
    void TearDown() override { entry.RemoveRunEntry(); }
    RegistryRunEntry entry;
};

TEST_F(RegistryRunEntryTest, AddsQueriesAndRemovesTheRunValue) {
    EXPECT_FALSE(entry.IsRunEntryPresent());
    entry.AddRunEntry("\"C:\\Program Files\\M\xC3\xA9t\xC3\xA9o\\Brisalune.exe\" -s");
    EXPECT_TRUE(entry.IsRunEntryPresent());
    EXPECT_EQ(runValue(),
              std::wstring(L"\"C:\\Program Files\\M\u00e9t\u00e9o\\Brisalune.exe\" -s"));
    entry.RemoveRunEntry();
    entry.RemoveRunEntry();
    EXPECT_FALSE(entry.IsRunEntryPresent());
    EXPECT_FALSE(runValue().has_value());

    // A value larger than the 512 bytes the check reads counts as absent.
    for (const size_t size : {600u, 512u}) {
        const std::vector<char> bytes(size, 'x');
        RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Brisalune", REG_BINARY, bytes.data(),
                        static_cast<DWORD>(size));
        EXPECT_EQ(entry.IsRunEntryPresent(), size <= 512) << size;
    }
}

}  // namespace
}  // namespace brisalune
