// The Windows units checked against the system calls they stand on, under
// Wine. The locale is pinned by the test's runner: LC_ALL decides Wine's
// ANSI code page and regional settings (C.UTF-8: code page 1252, and Unix
// file names that can hold any character).
#include "db/firebird/client_library.h"
#include "http/transport.h"
#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"
#include "util/regional_settings.h"
#include "util/request_file.h"
#include "util/result_file.h"
#include "util/utf.h"

#include "support/failure_message.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace {

std::string utf8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

std::u16string module_file_name()
{
    wchar_t buffer[4096];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 4096);
    return std::u16string(buffer, buffer + length);
}

TEST(PathDoExecutavel, IsTheExecutablesDirectoryWithATrailingBackslash)
{
    const std::u16string file = module_file_name();
    const std::u16string directory = ObjKelvo.Path_Do_Executavel();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(u'\\', directory.back());
    EXPECT_EQ(file.substr(0, file.rfind(u'\\') + 1), directory);
    EXPECT_EQ(u':', directory[1]) << "a drive path, as the system gives it";
}

TEST(Seconds, CountsLocalTimeSinceMidnight)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        const int seconds = ObjKelvo.Seconds();
        GetLocalTime(&after);
        if (before.wSecond != after.wSecond) continue;  // a second ticked by: ask again
        EXPECT_EQ(before.wHour * 3600 + before.wMinute * 60 + before.wSecond, seconds);
        return;
    }
    FAIL() << "the clock would not hold still";
}

TEST(RegionalSettings, DecimalSeparatorIsTheUsersAndNumbersUseIt)
{
    wchar_t expected[8] = {};
    ASSERT_EQ(2, GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, expected, 8));
    EXPECT_EQ(static_cast<char16_t>(expected[0]), read_regional_decimal_separator());
    EXPECT_EQ(u"28" + std::u16string(1, static_cast<char16_t>(expected[0])) + u"25", float_to_text(28.25));
    EXPECT_EQ(u"28.25", ObjKelvo.Formata_Valor_para_Sql(28.25));
}

// The runner pins LC_ALL=C.UTF-8: Wine's ANSI code page is then 1252, and the
// system converts, best fit and default character included.
TEST(AnsiCodePage, SystemIsTheAnsiCodePageConvertedByTheSystem)
{
    ASSERT_EQ(1252u, GetACP());
    const auto& system = AnsiCodePage::system();
    EXPECT_FALSE(system.is_utf8());
    EXPECT_EQ("1252", system.name());
    struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"ERRO-Status: Servidor-API n\u00E3o responde (", "ERRO-Status: Servidor-API n\xE3o responde ("},
        {u"\u20AC \u0152 \u2122", "\x80 \x8C \x99"},
        {u"\u0100\u0107", "Ac"},  // best fit: the base letter
        {u"\u65E5", "?"},  // no fit: the default character
        // Marks the best fit would turn into ASCII quotes, which would end
        // an SQL literal early; real quotes stay.
        {u"'\u2032\uFF07\"\u2033\uFF02x", "'??\"??x"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.bytes, system.encode(c.text)) << utf8(c.text);
    EXPECT_EQ(u"n\u00E3o \u20AC", system.decode("n\xE3o \x80"));
}

// Wine gives code page 65001 to locales without an ANSI code page of their
// own (hi_IN.UTF-8); a run under such a locale checks the UTF-8 rule.
TEST(AnsiCodePage, Utf8SystemCodePageWritesAByteOrderMarkFirst)
{
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 65001";
    EXPECT_TRUE(AnsiCodePage::system().is_utf8());
    const TempDir dir;
    write_result_file(dir / "ConfigImporta.ret", u"n\u00E3o \u0939", AnsiCodePage::system());
    EXPECT_EQ("\xEF\xBB\xBFn\xC3\xA3o \xE0\xA4\xB9", read_file_bytes(dir / "ConfigImporta.ret"));
}

TEST(AnsiCodePage, OtherCodePagesByNumber)
{
    const auto japanese = AnsiCodePage::named("932");
    EXPECT_EQ(u"\u65E5\u672C", japanese.decode(japanese.encode(u"\u65E5\u672C")));
    EXPECT_EQ(4u, japanese.encode(u"\u65E5\u672C").size());
    EXPECT_TRUE(AnsiCodePage::named("UTF-8").is_utf8());
    EXPECT_THROW(AnsiCodePage::named("ISO-8859-15"), Error);  // iconv's names mean nothing here
    EXPECT_THROW(AnsiCodePage::named("99999"), Error);
}

// Paths go to the system as UTF-16: a name the ANSI code page cannot hold
// still reaches its file.
TEST(WidePaths, RequestAndResultFilesInADirectoryNamedBeyondTheCodePage)
{
    const TempDir dir;
    const auto shop = dir.path() / std::filesystem::path(u"Loja \u03A9 \u65E5\u672C");
    std::filesystem::create_directory(shop);
    write_file_bytes(shop / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=abc\r\n");
    EXPECT_EQ(u"abc", read_profile_string(shop / "ConfigImporta.ini", u"CONF", u"token_quintara"));
    write_result_file(shop / "ConfigImporta.ret", u"Importacao de dados Ok", AnsiCodePage::system());
    EXPECT_EQ("Importacao de dados Ok", read_file_bytes(shop / "ConfigImporta.ret"));
}

TEST(ClientLibrary, LoadFailuresNameTheLibraryOrTheEntryPoint)
{
    // Neither gds32.dll nor fbclient.dll beside the tests: the message names
    // the library the program asks for first.
    EXPECT_EQ(u"InterBase library gds32.dll not found in the path. "
              u"Please install InterBase to use this functionality",
              failure_message([] { ClientLibrary::load(); }));
    EXPECT_EQ(u"InterBase library nothere.dll not found in the path. "
              u"Please install InterBase to use this functionality",
              failure_message([] { ClientLibrary::load("nothere.dll"); }));
    const auto missing_entry = failure_message([] { ClientLibrary::load("kernel32.dll"); });
    EXPECT_EQ(0u, missing_entry.find(u"System Error.  Code: 127.\r\n")) << utf8(missing_entry);
    EXPECT_GT(missing_entry.size(), std::u16string(u"System Error.  Code: 127.\r\n").size());
}

// The headers of a DLL built for `machine`, as far as a loader reads them
// to refuse it.
std::string dll_headers(std::uint16_t machine)
{
    std::string file(1024, '\0');
    const auto put = [&file](std::size_t at, std::uint32_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
    };
    file.replace(0, 2, "MZ");
    put(0x3C, 0x40, 4);  // where the PE header starts
    file.replace(0x40, 4, std::string("PE\0\0", 4));
    put(0x44, machine, 2);
    put(0x46, 1, 2);  // one section
    put(0x54, 0xE0, 2);  // the size of a 32-bit optional header
    put(0x56, IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE, 2);
    put(0x58, 0x10B, 2);  // the 32-bit optional header's magic
    return file;
}

// The loader's error alone does not tell a DLL of the other word size from
// a damaged file; the message names the build that fits only for the first.
TEST(ClientLibrary, LibraryOfTheOtherWordSizeNamesTheBuildThatFits)
{
    const bool own_64_bits = sizeof(void*) == 8;
    const TempDir dir;
    const auto library = dir / "gds32.dll";
    write_file_bytes(library, dll_headers(own_64_bits ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64));
    const std::u16string expected =
        own_64_bits ? u" encontrada é de 32 bits, e este importador é de 64 bits: "
                      u"use x86\\importador.exe, o importador de 32 bits"
                    : u" encontrada é de 64 bits, e este importador é de 32 bits: "
                      u"use x64\\importador.exe, o importador de 64 bits";
    EXPECT_EQ(u"A biblioteca " + library.u16string() + expected,
              failure_message([&] { ClientLibrary::load(utf16_to_utf8(library.u16string())); }));

    const auto damaged = dir / "damaged.dll";
    write_file_bytes(damaged, "MZ" + std::string(200, 'x'));
    EXPECT_EQ(u"InterBase library " + damaged.u16string() +
                  u" not found in the path. Please install InterBase to use this functionality",
              failure_message([&] { ClientLibrary::load(utf16_to_utf8(damaged.u16string())); }));
}

// Refused before anything is sent, so no server is needed.
TEST(HttpTransport, RefusesHeaderValuesThatWouldEndTheLine)
{
    HttpTransport transport(std::make_shared<HttpConnectionCache>());
    for (const char* value : {"Bearer a\r\nX-Injected: 1", "Bearer a\nb", "Bearer a\rb"}) {
        HttpRequest request;
        request.url = "https://localhost:1/api/getStatus";
        request.headers = {{"Authorization", value}};
        EXPECT_EQ(u"REST request failed: the header Authorization holds a line break",
                  failure_message([&] { transport.perform(request); }));
    }
    HttpRequest request;
    request.url = "https://localhost:1/api/getStatus";
    request.headers = {{"Authorization", std::string("Bearer a\0b", 10)}};
    EXPECT_EQ(u"REST request failed: the header Authorization holds a line break",
              failure_message([&] { transport.perform(request); }));
}

TEST(HttpTransport, UnreachableServiceIsATransportFailureWithTheSystemsCode)
{
    HttpTransport transport(std::make_shared<HttpConnectionCache>());
    HttpRequest request;
    request.url = "https://localhost:1/api/getStatus";
    request.timeout = std::chrono::milliseconds(3000);
    const auto message = utf8(failure_message([&] { transport.perform(request); }));
    EXPECT_EQ(0u, message.find("REST request failed: ")) << message;
    EXPECT_NE(std::string::npos, message.find("(WinHTTP error 120")) << message;
}

}  // namespace
