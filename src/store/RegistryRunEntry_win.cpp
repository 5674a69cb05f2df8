#include <windows.h>

#include <string>

#include "base/WideText.h"
#include "store/RegistryRunEntry.h"

namespace brisalune {

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Brisalune";

// Closes the key on every path.
class RunKey {
  public:
    explicit RunKey(REGSAM access) {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~RunKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    RunKey(const RunKey&) = delete;
    RunKey& operator=(const RunKey&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

}  // namespace

bool RegistryRunEntry::IsRunEntryPresent() {
    RunKey key(KEY_QUERY_VALUE);
    if (key.get() == nullptr) {
        // An unreadable key counts as holding the entry, so nothing is written blindly.
        return true;
    }
    BYTE data[512];
    DWORD size = sizeof data;
    return RegQueryValueExW(key.get(), kValueName, nullptr, nullptr, data, &size) == ERROR_SUCCESS;
}

void RegistryRunEntry::AddRunEntry(const std::string& commandLine) {
    RunKey key(KEY_SET_VALUE);
    if (key.get() == nullptr) {
        return;
    }
    const std::wstring text = widen(commandLine);
    RegSetValueExW(key.get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RegistryRunEntry::RemoveRunEntry() {
    RunKey key(KEY_SET_VALUE);
    if (key.get() == nullptr) {
        return;
    }
    RegDeleteValueW(key.get(), kValueName);
}

}  // namespace brisalune
