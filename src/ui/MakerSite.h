// Addresses on the maker's web site: the product page, the version document and the comment
// script.
#pragma once

#include <string>

namespace brisalune {

inline constexpr char kProductPagePath[] = "/pr/brisalune";
inline constexpr char kVersionDocumentPath[] = "/dl/brisalune/ver/windows_version.xml";
inline constexpr char kCommentScriptPath[] = "/submit-brisalune.php";

// The site's "http://host" followed by the path. BRISALUNE_SITE_URL, when set, takes the
// site's place, so tests and the demo talk to a stand-in.
std::string makerSiteUrl(const std::string& path);

}  // namespace brisalune
