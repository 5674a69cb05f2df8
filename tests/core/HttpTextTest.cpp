#include <gtest/gtest.h>

#include <random>

#include "engine/HttpText.h"

namespace brisalune {
namespace {

TEST(AnswerLines, ABrokenOffAnswerKeepsOnlyItsWholeLines) {
    AnswerLines lines;
    lines.feed("first\nsec");
    lines.feed("ond\nthi");
    EXPECT_EQ(lines.abandon(), "first\r\nsecond\r\n");

    AnswerLines nothing;
    nothing.feed("no line feed yet");
    EXPECT_EQ(nothing.abandon(), "");
}

// The reading rule itself is checked against the real client's answers under Wine; here that
// the pieces WinInet hands over, wherever they end, make no difference.
TEST(AnswerLines, PiecesOfAnySizeGiveTheSameText) {
    std::mt19937 random(20261206);
    const std::string alphabet = "ab\r\n\n\xC3\xA9";
    for (int round = 0; round < 500; ++round) {
        std::string body;
        const int length = std::uniform_int_distribution<int>(0, 300)(random);
        for (int i = 0; i < length; ++i) {
            body += alphabet[random() % alphabet.size()];
        }
        AnswerLines lines;
        for (size_t at = 0; at < body.size();) {
            const size_t piece = std::min<size_t>(body.size() - at, 1 + random() % 40);
            lines.feed(std::string_view(body).substr(at, piece));
            at += piece;
        }
        ASSERT_EQ(lines.finish(), answerText(body)) << "round " << round;
    }
}

TEST(FormEncoding, ReservedBytesAreEscapedAndTheSafeOnesKept) {
    EXPECT_EQ(formEncode("AZaz09-_.*"), "AZaz09-_.*");
    EXPECT_EQ(formEncode("a b"), "a+b");
    EXPECT_EQ(formEncode("&=%+"), "%26%3D%25%2B");
    EXPECT_EQ(formEncode("~/?#\t\n"), "%7E%2F%3F%23%09%0A");
    EXPECT_EQ(formEncode("S\xC3\xA3o \xE6\x9D\xB1"), "S%C3%A3o+%E6%9D%B1") << "bytes of UTF-8";
    EXPECT_EQ(formEncode(std::string("\0\x7F\xFF", 3)), "%00%7F%FF");
}

}  // namespace
}  // namespace brisalune
