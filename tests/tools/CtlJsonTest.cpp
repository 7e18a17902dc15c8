#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tools/ctl_json.h"

using namespace ctl;

// Whatever the text holds, the literal is valid JSON in valid UTF-8.
TEST(CtlJson, StringsAreEscapedAndAlwaysValidUtf8) {
    struct Case {
        std::wstring_view text;
        const char* want;
    } cases[] = {
        {L"", "\"\""},
        {L"say \"hi\" C:\\dir/", "\"say \\\"hi\\\" C:\\\\dir/\""},
        {L"\b\f\n\r\t\x01\x1f", "\"\\b\\f\\n\\r\\t\\u0001\\u001f\""},
        {{L"a\0b", 3}, "\"a\\u0000b\""},
        // DEL and the C1 controls (a terminal acts on those too); not NBSP.
        {L"\x7f\x80\x9d\xa0", "\"\\u007f\\u0080\\u009d\xC2\xA0\""},
        {L"caf\xe9 \x4e2d\xffff", "\"caf\xC3\xA9 \xE4\xB8\xAD\xEF\xBF\xBF\""},
        // Outside the basic plane: one four-byte character from the pair.
        {L"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\""},
        // Halves of a pair alone, or the wrong way round.
        {L"a\xD83D"
         L"b",
         "\"a\xEF\xBF\xBD"
         "b\""},
        {L"\xDE00\xD83D", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, JsonString(c.text)) << c.want;
}

TEST(CtlJson, ContainersNestAndEmptyOnesStayOnTheirLine) {
    JsonWriter json;
    json.BeginObject().Key("n").Number(-1).Key("empty").BeginArray().End().Key("none").BeginObject().End();
    json.Key("list").BeginArray().Text("x").BeginObject().Key("ok").Bool(true).End().BeginArray().End().End();
    json.End();
    EXPECT_EQ(
        "{\n"
        "  \"n\": -1,\n"
        "  \"empty\": [],\n"
        "  \"none\": {},\n"
        "  \"list\": [\n"
        "    \"x\",\n"
        "    {\n"
        "      \"ok\": true\n"
        "    },\n"
        "    []\n"
        "  ]\n"
        "}\n",
        json.Document());
    EXPECT_EQ("[]\n", JsonWriter().BeginArray().End().Document());
}

TEST(CtlJson, WesternAnsiTextBecomesUtf8) {
    if (::GetACP() != 1252) GTEST_SKIP() << "the cases are in code page 1252";
    // Curly quotes, e acute; 0x9D is the C1 control the code page carries as is.
    EXPECT_EQ("\"caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \\u009d\"\n",
              JsonWriter().Text("caf\xE9 \x93q\x94 \x9D").Document());
}

TEST(CtlJson, DoubleByteBytesThatFormNoCharacterBecomeReplacements) {
    if (::GetACP() != 936) GTEST_SKIP() << "needs a double-byte ANSI code page";
    struct Case {
        const char* ansi;
        const char* want;
    } cases[] = {
        {"\xD6\xD0"
         "a",
         "\"\xE4\xB8\xAD"
         "a\"\n"},
        // A lead byte at the end, a lead byte with a byte that cannot follow it, a byte no character starts with.
        {"a\xD6", "\"a\xEF\xBF\xBD\"\n"},
        {"\xD6 b\xD6\xD0", "\"\xEF\xBF\xBD b\xE4\xB8\xAD\"\n"},
        {"\xFF"
         "c",
         "\"\xEF\xBF\xBD"
         "c\"\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, JsonWriter().Text(c.ansi).Document()) << c.want;
}
