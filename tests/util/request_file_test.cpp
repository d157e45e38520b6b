#include "util/request_file.h"

#include "util/ansi_codepage.h"
#include "util/utf.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string utf8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

std::string utf16le_with_bom(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST(ReadProfileString, FindsValuesTheWayTheCallerWritesThem)
{
    struct {
        const char* content;
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"[CONF]\r\ntoken_quintara=abc\r\n", "CONF", "token_quintara", "abc"},
        {"[conf]\r\nTOKEN_QUINTARA=abc\r\n", "CONF", "token_quintara", "abc"},
        {"[CONF]\nk=abc", "conf", "K", "abc"},
        {"[CONF]\nk =  \t\"  v x \" \t\n", "CONF", "k", "  v x "},
        {"[CONF]\nk='v'\n", "CONF", "k", "v"},
        {"[CONF]\nk=\"v'\n", "CONF", "k", "\"v'"},
        {"[CONF]\nk=\"\n", "CONF", "k", "\""},
        {"[CONF]\nk=\"\"\"\n", "CONF", "k", "\""},
        {"[CONF]\nk=a=b\n", "CONF", "k", "a=b"},
        {"[CONF]\nk=\n", "CONF", "k", ""},
        {"[CONF]\n;k=comment\nk=value\n", "CONF", "k", "value"},
        {"[CONF]\nk=first\nk=second\n", "CONF", "k", "first"},
        {"[OTHER]\nk=other\n[CONF]\nk=conf\n[MORE]\nk=more\n", "CONF", "k", "conf"},
        {"[OTHER]\nk=other\n", "CONF", "k", ""},
        {"[CONF]\nkey=x\n", "CONF", "k", ""},
        {"k=outside\n[CONF]\n", "CONF", "k", ""},
        {"  [ CONF ]  \r\n  k = v  \r\n", "CONF", "k", "v"},
        {"", "CONF", "k", ""},
    };
    const TempDir dir;
    for (const auto& c : cases) {
        const auto file = dir / "ConfigImporta.ini";
        write_file_bytes(file, c.content);
        EXPECT_EQ(c.expected, utf8(read_profile_string(file, utf8_to_utf16(c.section), utf8_to_utf16(c.key))))
            << c.content;
    }
}

TEST(ReadProfileString, CutsLongValuesTo2047Characters)
{
    const TempDir dir;
    const std::string long_value(3000, 'x');
    const auto file = dir / "ConfigImporta.ini";
    write_file_bytes(file, "[CONF]\ntoken_quintara=\"" + long_value + "\"\n");
    EXPECT_EQ(long_value.substr(0, 2047), utf8(read_profile_string(file, u"CONF", u"token_quintara")));
}

TEST(ReadProfileString, MissingFileGivesEmptyText)
{
    const TempDir dir;
    EXPECT_EQ(u"", read_profile_string(dir.path() / "ConfigImporta.ini", u"CONF", u"k"));
    EXPECT_EQ(u"", read_profile_string(dir.path(), u"CONF", u"k"));  // a directory of that name
}

TEST(ReadProfileString, ReadsEachEncodingTheCallerMayWrite)
{
    const std::u16string text = u"[CONF]\r\npathBancoDados=C:\\Dados\\Pa\u00E7oca.fdb\r\n";
    struct {
        const char* encoding;
        std::string bytes;
    } cases[] = {
        {"UTF-16LE with BOM", utf16le_with_bom(text)},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf16_to_utf8(text)},
        {"ANSI code page", AnsiCodePage::system().encode(text)},
    };
    const TempDir dir;
    for (const auto& c : cases) {
        const auto file = dir / "ConfigImporta.ini";
        write_file_bytes(file, c.bytes);
        EXPECT_EQ("C:\\Dados\\Pa\xC3\xA7oca.fdb", utf8(read_profile_string(file, u"CONF", u"pathBancoDados")))
            << c.encoding;
    }
}

// Without a byte-order mark the bytes decide; the shop's code page here is
// Windows-1252, as on the back-office machines.
TEST(DecodeRequestText, TellsUtf8FromTheCodePageWithoutAMark)
{
    const std::u16string lojao = u"C:\\Loj\u00E3o\\loja.fdb";
    struct {
        const char* file;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"ASCII", "C:\\Loja\\loja.fdb", u"C:\\Loja\\loja.fdb"},
        {"ANSI with accents", "C:\\Loj\xE3o\\loja.fdb", lojao},
        {"UTF-8 without BOM (Notepad)", "C:\\Loj\xC3\xA3o\\loja.fdb", lojao},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" "C:\\Loj\xC3\xA3o\\loja.fdb", lojao},
        {"UTF-16LE with BOM", utf16le_with_bom(lojao), lojao},
        // "\u00C3\u00A3" in Windows-1252 is exactly what UTF-8 "\u00E3" looks
        // like when misread: an accented capital followed by a symbol byte.
        // A shop's path or token does not hold that pair, so reading such
        // bytes as UTF-8 costs nothing real.
        {"ANSI bytes that form UTF-8", "Loj\xC3\xA3o", u"Loj\u00E3o"},
        {"UTF-8 with one ANSI byte", "Loj\xC3\xA3o \xE7", u"Loj\u00C3\u00A3o \u00E7"},
        {"a truncated sequence", "Loj\xC3", u"Loj\u00C3"},
    };
    const auto code_page = AnsiCodePage::windows1252();
    for (const auto& c : cases)
        EXPECT_EQ(utf8(c.text), utf8(decode_request_text(c.bytes, code_page))) << c.file;
}

// Under a C or POSIX locale the ANSI code page is Windows-1252, as on the
// back-office machines; there a single byte E7 is a c-cedilla.
TEST(ReadProfileString, ReadsWindows1252BytesUnderTheCLocale)
{
    if (AnsiCodePage::system().is_utf8()) GTEST_SKIP() << "locale codeset is UTF-8";
    const TempDir dir;
    const auto file = dir / "ConfigImporta.ini";
    write_file_bytes(file, "[CONF]\npathBancoDados=Pa\xE7oca\n");
    EXPECT_EQ(u"Pa\u00E7oca", read_profile_string(file, u"CONF", u"pathBancoDados"));
}

}  // namespace
