// Display scaling. Every pixel size in the program is the size at 96 DPI (100 %); on a display
// set to 150 % or 200 % it grows with the DPI, as the dialog font and dialog units do.
#pragma once

namespace brisalune::win {

inline constexpr int kBaseDpi = 96;

// The DPI the session started with. The program is system-DPI aware, so all its windows use
// this one, and it does not change while the process runs.
int systemDpi();

// `size` pixels at 96 DPI as pixels at `dpi`, rounded to the nearest.
int dpiScaled(int size, int dpi);
// The same at the system DPI.
int dpiScaled(int size);

}  // namespace brisalune::win
