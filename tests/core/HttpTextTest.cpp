#include <gtest/gtest.h>

#include <random>

#include "engine/HttpClient.h"
#include "engine/HttpText.h"
#include "engine/RefreshLog.h"

namespace brisalune {
namespace {

TEST(AnswerLines, EveryLineEndsInCrLfAndACarriageReturnBeforeTheFeedStays) {
    EXPECT_EQ(answerText(""), "");
    EXPECT_EQ(answerText("one\ntwo\n"), "one\r\ntwo\r\n");
    EXPECT_EQ(answerText("one\r\ntwo\r\n"), "one\r\r\ntwo\r\r\n");
    EXPECT_EQ(answerText("one\ntwo"), "one\r\ntwo\r\n") << "a last line without a feed";
    EXPECT_EQ(answerText("\n\n"), "\r\n\r\n") << "empty lines are lines";
    EXPECT_EQ(answerText("a\rb\n"), "a\rb\r\n") << "a lone CR is part of the line";
    EXPECT_EQ(answerText("tail\r"), "tail\r\r\n");
    EXPECT_EQ(answerText(std::string("a\0b\n", 4)), std::string("a\0b\r\n", 5))
        << "zero bytes do not end a line";
    EXPECT_EQ(answerText("Montr\xC3\xA9"
                         "al\n"),
              "Montr\xC3\xA9"
              "al\r\n");
}

TEST(AnswerLines, ABrokenOffAnswerKeepsOnlyItsWholeLines) {
    AnswerLines lines;
    lines.feed("first\nsec");
    lines.feed("ond\nthi");
    EXPECT_EQ(lines.abandon(), "first\r\nsecond\r\n");

    AnswerLines nothing;
    nothing.feed("no line feed yet");
    EXPECT_EQ(nothing.abandon(), "");
}

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
        const std::string whole = answerText(body);
        ASSERT_EQ(lines.finish(), whole) << "round " << round;
        // Independent of the splitting: lines keep their bytes and every LF became CR LF.
        std::string expected;
        for (const char c : body) {
            expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        if (!body.empty() && body.back() != '\n') {
            expected += "\r\n";
        }
        ASSERT_EQ(whole, expected) << "round " << round;
    }
}

TEST(FormEncoding, ReservedBytesAreEscapedAndTheSafeOnesKept) {
    EXPECT_EQ(formEncode("AZaz09-_.*"), "AZaz09-_.*");
    EXPECT_EQ(formEncode("a b"), "a+b");
    EXPECT_EQ(formEncode("&=%+"), "%26%3D%25%2B");
    EXPECT_EQ(formEncode("~/?#\t\n"), "%7E%2F%3F%23%09%0A");
    EXPECT_EQ(formEncode("S\xC3\xA3o \xE6\x9D\xB1"), "S%C3%A3o+%E6%9D%B1") << "bytes of UTF-8";
    EXPECT_EQ(formEncode(std::string("\0\x7F\xFF", 3)), "%00%7F%FF");
    EXPECT_EQ(formEncode(""), "");
}

TEST(FormEncoding, AddFieldKeepsOrderAndEndsEveryPairWithAnAmpersand) {
    RefreshLog log;
    HttpClient client(log);
    EXPECT_EQ(client.formBody(), "");
    client.AddField("name", "Ann & Bob");
    client.AddField("a=b", "50% off");
    client.AddField("", "");
    EXPECT_EQ(client.formBody(), "name=Ann+%26+Bob&a%3Db=50%25+off&=&");
}

}  // namespace
}  // namespace brisalune
