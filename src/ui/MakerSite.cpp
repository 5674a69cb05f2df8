#include "ui/MakerSite.h"

#include <cstdlib>

namespace brisalune {

namespace {

constexpr char kSiteOrigin[] = "http://www.norvosoft.com";

}  // namespace

std::string makerSiteUrl(const std::string& path) {
    std::string origin = kSiteOrigin;
    const char* configured = std::getenv("BRISALUNE_SITE_URL");
    if (configured != nullptr && *configured != '\0') {
        origin = configured;
        while (!origin.empty() && origin.back() == '/') {
            origin.pop_back();
        }
    }
    return origin + path;
}

}  // namespace brisalune
