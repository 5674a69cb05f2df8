#include "base/Texts.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace brisalune {

std::string directoryOf(const std::string& windowsPath) {
    const size_t slash = windowsPath.find_last_of('\\');
    return slash == std::string::npos ? std::string() : windowsPath.substr(0, slash);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    return directory + kPathSeparator + name;
}

std::string timeText(int hour, int minute, int second) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%2d:%2d:%2d", hour, minute, second);
    return buffer;
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

std::string timeText() {
    const std::tm local = localNow();
    return timeText(local.tm_hour, local.tm_min, local.tm_sec);
}

std::string temperatureText(int fahrenheit, bool showFahrenheit) {
    static const char kDegree[] = "\xC2\xB0";
    if (showFahrenheit) {
        return std::to_string(fahrenheit) + kDegree + "F";
    }
    // 64-bit so that no stored value can overflow the multiplication.
    const int64_t celsius = (5 * static_cast<int64_t>(fahrenheit) - 160) / 9;
    return std::to_string(celsius) + kDegree + "C";
}

std::string conditionImagePath(const std::string& programDirectory, int skyCode) {
    return joinPath(joinPath(programDirectory, "img"), "fc_" + std::to_string(skyCode) + ".gif");
}

std::string FlagImagePath(const std::string& programDirectory, const std::string& name) {
    // The Dominican Republic's flag ships as do1.png; only the exact lower-case code maps to it.
    const std::string file = name == "do" ? std::string("do1") : name;
    return joinPath(joinPath(programDirectory, "img"), file + ".png");
}

}  // namespace brisalune
