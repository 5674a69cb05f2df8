// Against the real registry of the Wine prefix the tests run in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/RegistryRunEntry.h"

namespace brisalune {
namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST(RegistryRunEntry, AddsQueriesAndRemovesTheRunValue) {
    RegistryRunEntry entry;
    entry.RemoveRunEntry();
    EXPECT_FALSE(entry.IsRunEntryPresent());
    entry.AddRunEntry("\"C:\\Program Files\\M\xC3\xA9t\xC3\xA9o\\Brisalune.exe\" -s");
    EXPECT_TRUE(entry.IsRunEntryPresent());
    // A string stored with its terminating zero.
    wchar_t data[512] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(
        RegQueryValueExW(key, L"Brisalune", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(data, size / sizeof(wchar_t)),
              std::wstring(L"\"C:\\Program Files\\M\u00e9t\u00e9o\\Brisalune.exe\" -s") + L'\0');
    entry.RemoveRunEntry();
    entry.RemoveRunEntry();
    EXPECT_FALSE(entry.IsRunEntryPresent());

    // A value larger than the 512 bytes the check reads counts as absent.
    for (const size_t size : {600u, 512u}) {
        const std::vector<char> bytes(size, 'x');
        RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Brisalune", REG_BINARY, bytes.data(),
                        static_cast<DWORD>(size));
        EXPECT_EQ(entry.IsRunEntryPresent(), size <= 512) << size;
    }
    entry.RemoveRunEntry();
}

}  // namespace
}  // namespace brisalune
