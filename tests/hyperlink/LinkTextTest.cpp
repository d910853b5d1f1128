#include "hyperlink/LinkText.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(EncodeEmailTarget, EncodesTheBodyAndLeavesAddressHeadersAndEscapes)
{
    struct Case {
        const char* target;
        const char* encoded;
    } cases[] = {
        // With a body only the body is encoded: the subject keeps its blank.
        { "a@b.com?subject=Hi there&body=see you", "a@b.com?subject=Hi there&body=see%20you" },
        { "a@b.com?subject=Hi there&BODY=see you", "a@b.com?subject=Hi there&BODY=see%20you" },
        // Without a body everything is, but the header separators stay.
        { "a@b.com?subject=Hi there&cc=c@d.com&bcc=e@f.com",
            "a@b.com?subject=Hi%20there&cc=c@d.com&bcc=e@f.com" },
        { "a@b.com?Subject=x", "a@b.com?Subject=x" },
        { "a@b.com?x=1&y=2", "a@b.com%3Fx=1%26y=2" },
        // Escapes already there stay; a lone "%" is escaped itself.
        { "a@b.com?subject=a%20b", "a@b.com?subject=a%20b" },
        { "a@b.com?subject=a%2fb", "a@b.com?subject=a%2fb" },
        { "a@b.com?subject=%zz", "a@b.com?subject=%25zz" },
        { "a@b.com?subject=100%", "a@b.com?subject=100%25" },
        { "a@b.com?subject=5%A", "a@b.com?subject=5%25A" },
        // Control characters get two digits, a leading zero below 10h.
        { "a@b.com?subject=a\tb", "a@b.com?subject=a%09b" },
        { "a@b.com?subject=a\x01z", "a@b.com?subject=a%01z" },
        { "a@b.com?subject=<x>;y", "a@b.com?subject=%3Cx%3E%3By" },
        // Left alone: letters, digits, "@:/=+," and the upper half.
        { "a@b.com?subject=x:y/z=1+2,3\xE9", "a@b.com?subject=x:y/z=1+2,3\xE9" },
        // Quotes around the whole target go; trailing blanks do not count.
        { "\"a@b.com?subject=x y\"  ", "a@b.com?subject=x%20y" },
        { "\"Support\"%20<a@b.com>", "\"Support\"%20%3Ca@b.com%3E" },
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeEmailTarget(c.target), c.encoded) << c.target;
}

TEST(EncodeEmailTarget, StopsAtItsLimitWhenEscapesMakeItGrow)
{
    std::string target = "a@b.com?subject=" + std::string(4080, ' ');
    auto encoded = encodeEmailTarget(target + "x");
    EXPECT_EQ(encoded.size(), 4096u);
    EXPECT_EQ(encoded.substr(0, 22), "a@b.com?subject=%20%20");

    // An escape that would cross the limit is left out whole, never cut to "%2" or "%".
    struct Case {
        const char* target;
        std::size_t limit;
        const char* encoded;
    } cases[] = {
        { "x@y?body= z", 11, "x@y?body=" },
        { "x@y?body= z", 10, "x@y?body=" },
        { "x@y?body= z", 12, "x@y?body=%20" },
        { "x@y?body=a z", 12, "x@y?body=a" },
        // The limit cuts an escape the target already had: the rest of it is not kept either.
        { "x@y?body=%20z", 11, "x@y?body=" },
        { "x@y?body=%20z", 12, "x@y?body=%20" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeEmailTarget(c.target, c.limit), c.encoded) << c.target << " limit " << c.limit;
}

TEST(LinkMarkup, BuildsAnchorsQuotedAndBareAddresses)
{
    struct Case {
        const char* target;
        int mode;
        const char* markup;
    } cases[] = {
        { "www.example.com", 0, "<a href=\"http://www.example.com\">" },
        { "http://www.example.com/", 0, "<a href=\"http://www.example.com/\">" },
        { "https://www.example.com/", 0, "<a href=\"https://www.example.com/\">" },
        { "sales@example.com", 0, "<a href=\"mailto:sales@example.com\">" },
        { "mailto:sales@example.com  ", 0, "<a href=\"mailto:sales@example.com\">" },
        { "<a href=\"x\">link</a>  ", 0, "<a href=\"x\">link</a>" },
        { "www.example.com", 1, "\"http://www.example.com\"" },
        { "sales@example.com", 2, "mailto:sales@example.com" },
        { "http://x", 7, "http://x" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(linkMarkup(c.target, c.mode), c.markup) << c.target << " mode " << c.mode;

    EXPECT_EQ(linkMarkup(std::string(2000, 'x'), 2).size(), 1023u);
}

TEST(TextBetween, ReturnsTheTextBetweenTheFirstTwoDelimiters)
{
    struct Case {
        const char* text;
        const char* delimiter;
        const char* between;
    } cases[] = {
        { "name|value|rest", "|", "value" },
        { "a|b|", "|", "b" },
        { "||x", "|", "" },
        { "only|one", "|", "" },
        { "none", "|", "" },
        { "x<<in<<out", "<<", "in" },
        { "abc", "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(textBetween(c.text, c.delimiter), c.between) << c.text;
}

} // namespace
} // namespace tvrn2
