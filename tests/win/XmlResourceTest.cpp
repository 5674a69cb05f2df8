#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/WideText.h"
#include "base/XmlResource.h"

namespace brisalune {
namespace {

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    // Numeric ids have no text; the catalogue has none of them.
    const std::string text = IS_INTRESOURCE(name)
                                 ? "#" + std::to_string(reinterpret_cast<uintptr_t>(name))
                                 : narrow(name);
    reinterpret_cast<std::set<std::string>*>(names)->insert(text);
    return TRUE;
}

TEST(XmlResource, EveryDocumentIsEmbeddedByteForByteAndFoundWithoutRegardToCase) {
    std::set<std::string> expected;
    for (const auto& entry :
         std::filesystem::directory_iterator(test::fsPath(test::sourcePath("res/catalogue")))) {
        if (entry.path().extension() != ".xml") {
            continue;
        }
        std::string name = "IDR_" + narrow(entry.path().stem().wstring());
        const std::string bytes = test::readFile(narrow(entry.path().wstring()));
        // Compared whole, so a line end turned CR LF or a lost byte-order mark shows.
        EXPECT_TRUE(loadXmlResource(name) == bytes) << name;
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        EXPECT_TRUE(loadXmlResource(name) == bytes) << name;
        expected.insert(name);
    }
    EXPECT_EQ(expected.size(), 238u);
    std::set<std::string> embedded;
    EnumResourceNamesW(nullptr, L"XML", collectName, reinterpret_cast<LONG_PTR>(&embedded));
    EXPECT_EQ(embedded, expected) << "nothing else is embedded";
    EXPECT_EQ(loadXmlResource("idr_countrylist")->substr(0, 3), "\xEF\xBB\xBF");
    for (const char* name : {"IDR_ZZ", "IDR_GB ", "gb", "", "#1"}) {
        EXPECT_FALSE(loadXmlResource(name).has_value()) << name;
    }
}

}  // namespace
}  // namespace brisalune
