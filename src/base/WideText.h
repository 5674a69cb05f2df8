// UTF-8 <-> UTF-16 at the Windows boundary. Windows builds only.
#pragma once

#include <string>

namespace brisalune {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

}  // namespace brisalune
