#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/WideText.h"
#include "base/XmlResource.h"

namespace brisalune {
namespace {

std::string catalogueDirectory() {
    return test::sourcePath("res/catalogue");
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    // Numeric ids have no text; the catalogue has none of them.
    const std::string text = IS_INTRESOURCE(name)
                                 ? "#" + std::to_string(reinterpret_cast<uintptr_t>(name))
                                 : narrow(name);
    reinterpret_cast<std::set<std::string>*>(names)->insert(text);
    return TRUE;
}

TEST(XmlResource, EveryDocumentIsEmbeddedByteForByteAndNothingElse) {
    std::set<std::string> expected;
    for (const auto& entry :
         std::filesystem::directory_iterator(test::fsPath(catalogueDirectory()))) {
        if (entry.path().extension() != ".xml") {
            continue;
        }
        const std::string stem = narrow(entry.path().stem().wstring());
        const std::string name = "IDR_" + upper(stem);
        expected.insert(name);
        const std::optional<std::string> bytes = loadXmlResource(name);
        ASSERT_TRUE(bytes.has_value()) << name;
        // Compared whole, so a line end turned CR LF or a lost byte-order mark shows.
        EXPECT_TRUE(*bytes == test::readFile(narrow(entry.path().wstring()))) << name;
    }
    EXPECT_EQ(expected.size(), 238u);
    EXPECT_EQ(expected.count("IDR_COUNTRYLIST"), 1u);

    std::set<std::string> embedded;
    EnumResourceNamesW(nullptr, L"XML", collectName, reinterpret_cast<LONG_PTR>(&embedded));
    EXPECT_EQ(embedded, expected);
}

TEST(XmlResource, NamesAreFoundWithoutRegardToCase) {
    const std::string directory = catalogueDirectory();
    const std::string list = test::readFile(directory + "/countrylist.xml");
    const std::string kingdom = test::readFile(directory + "/gb.xml");
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(loadXmlResource("IDR_countrylist"), list);
    EXPECT_EQ(loadXmlResource("Idr_Countrylist"), list);
    EXPECT_EQ(loadXmlResource("idr_gb"), kingdom);
    EXPECT_EQ(loadXmlResource("IDR_GB"), kingdom);
    for (const char* name : {"IDR_ZZ", "IDR_GB ", "gb", "", "#1"}) {
        EXPECT_FALSE(loadXmlResource(name).has_value()) << name;
    }
}

}  // namespace
}  // namespace brisalune
