// Window texts from the program's UTF-8 strings.
#pragma once

#include <windows.h>

#include <string>

namespace brisalune::win {

// Sets the window's text; texts longer than 255 UTF-16 units are cut there.
void setWindowTextUtf8(HWND window, const std::string& text);
std::string windowTextUtf8(HWND window);

}  // namespace brisalune::win
