// Texts from outside made safe: UTF-8, HTML escaping, terminal controls.
#include <gtest/gtest.h>

#include "TexteSur.h"

TEST(CliTextes, Latin1ToUtf8)
{
    EXPECT_EQ(Latin1VersUtf8("AB123456"), "AB123456");
    EXPECT_EQ(Latin1VersUtf8("\xC9t\xE9"), "\xC3\x89t\xC3\xA9");
    EXPECT_EQ(Latin1VersUtf8(std::string("\0\xFF", 2)), std::string("\0\xC3\xBF", 3));
}

TEST(CliTextes, InvalidUtf8BecomesReplacementCharacters)
{
    EXPECT_EQ(Utf8Valide("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(Utf8Valide("a\xFF"
                         "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf8Valide("\xC3"), "\xEF\xBF\xBD");                                  // cut short
    EXPECT_EQ(Utf8Valide("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong '/'
    EXPECT_EQ(Utf8Valide("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
    EXPECT_EQ(Utf8Valide("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(CliTextes, HtmlEscaping)
{
    EXPECT_EQ(EchappeHtml("<a href=\"x\">T&C's</a>"), "&lt;a href=&quot;x&quot;&gt;T&amp;C&#39;s&lt;/a&gt;");
    EXPECT_EQ(EchappeHtml(std::string("a\0b\x1B"
                                      "c\td",
                                      7)),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "c\td");
    EXPECT_EQ(EchappeHtml("\xC3\xA9"), "\xC3\xA9");
}

TEST(CliTextes, TerminalControlsAreShownNotSent)
{
    EXPECT_EQ(TexteAffichable("AB\x1B[2J"), "AB\\x1B[2J");
    EXPECT_EQ(TexteAffichable(std::string("\0\x7F", 2)), "\\x00\\x7F");
    EXPECT_EQ(TexteAffichable("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(TexteAffichable("a\xC2\x9B"
                              "2J\xC2\xA0"),
              "a\\u009B2J\xC2\xA0");  // CSI shown, no-break space kept
}
