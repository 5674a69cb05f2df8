#include <gtest/gtest.h>

#include "ui/VersionDocument.h"

namespace brisalune {
namespace {

TEST(VersionDocument, ReadsValueAndNewsOfTheRootOnly) {
    struct Case {
        const char* text;
        bool hasValue;
        const char* value;
        const char* news;
    } const cases[] = {
        {"<?xml version=\"1.0\"?>\n<version>\n  <value>2.1</value>\n  <news>Faster.</news>\n"
         "</version>\n",
         true, "2.1", "Faster."},
        {"<v><news>Only news</news></v>", false, "", "Only news"},
        {"<v><value></value><news>n</news></v>", true, "", "n"},
        {"<v><value>1.5</value><value>1.6</value><other>9.9</other></v>", true, "1.6", ""},
        {"<v><x><value>3.0</value></x></v>", false, "", ""},
        {"garbage {{{", false, "", ""},
    };
    for (const Case& c : cases) {
        const VersionOffer offer = readVersionDocument(c.text);
        EXPECT_EQ(offer.hasValue, c.hasValue) << c.text;
        EXPECT_EQ(offer.value, c.value) << c.text;
        EXPECT_EQ(offer.news, c.news) << c.text;
    }
}

TEST(VersionDocument, OnlyANumericallyHigherVersionIsNewer) {
    const ProgramVersion running{1, 9};
    struct Case {
        const char* offered;
        bool newer;
    } const cases[] = {
        {"1.10", true},  {"2.0", true}, {"1.9.7", false}, {"1.9", false},
        {"0.99", false}, {"", false},   {"v2.0", false},  {"99999999999999999999.0", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isNewerVersion(c.offered, running), c.newer) << c.offered;
    }
}

}  // namespace
}  // namespace brisalune
