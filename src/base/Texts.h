// Small shared texts and paths. The program directory arrives as a path the caller was given,
// so these work the same in the program and in native tests.
#pragma once

#include <ctime>
#include <string>

namespace brisalune {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// A Windows file path without everything from its last backslash on: "C:\\x\\a.exe" gives
// "C:\\x", a file in a drive's root gives the drive alone ("C:").
std::string directoryOf(const std::string& windowsPath);

// Every file of the program lives directly in the program directory.
std::string joinPath(const std::string& directory, const std::string& name);

// The local clock now, broken down.
std::tm localNow();

// "%2d:%2d:%2d": each part right-aligned in two characters with a leading blank.
std::string timeText(int hour, int minute, int second);
// The same for the local clock now.
std::string timeText();

// Temperatures arrive in degrees Fahrenheit; Celsius is (5F - 160) / 9, truncated toward zero.
// The degree sign is U+00B0 in UTF-8.
std::string temperatureText(int fahrenheit, bool showFahrenheit);

std::string conditionImagePath(const std::string& programDirectory, int skyCode);
std::string FlagImagePath(const std::string& programDirectory, const std::string& name);

}  // namespace brisalune
