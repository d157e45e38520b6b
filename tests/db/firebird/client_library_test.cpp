#include "db/firebird/client_library.h"

#include <gtest/gtest.h>

#include "support/failure_message.h"
#include "support/temp_dir.h"
#include "util/utf.h"

namespace {

std::u16string load_failure(const std::string& file_name)
{
    return failure_message([&] { ClientLibrary::load(file_name); });
}

TEST(ClientLibrary, LoadsTheInstalledClient)
{
    EXPECT_NE(nullptr, ClientLibrary::load());
}

TEST(ClientLibrary, MissingLibraryIsNamed)
{
    EXPECT_EQ(u"InterBase library libnothere-client.so.2 not found in the path. "
              u"Please install InterBase to use this functionality",
              load_failure("libnothere-client.so.2"));
}

// A shop may have the client library of the other word size: the message
// says so, in the shop's language, and what to do.
TEST(ClientLibrary, LibraryOfTheOtherWordSizeIsNamed)
{
    const TempDir dir;
    const auto library = dir / "libfbclient.so.2";
    // The loader reads a header of a 64-bit library's size, then stops at the
    // identification.
    write_file_bytes(library, std::string("\x7F" "ELF\x01\x01\x01", 7) + std::string(57, '\0'));
    EXPECT_EQ(u"A biblioteca " + utf8_to_utf16(library.string()) +
                  u" encontrada é de 32 bits, e este importador é de 64 bits: instale a biblioteca de 64 bits",
              load_failure(library.string()));
}

TEST(ClientLibrary, MissingEntryPointGivesTheSystemText)
{
    const std::string library = INCOMPLETE_CLIENT_LIBRARY;
    const std::string text = ": undefined symbol: isc_database_info";
    EXPECT_EQ(u"System Error.  Code: 0.\r\n" + std::u16string(library.begin(), library.end()) +
                  std::u16string(text.begin(), text.end()),
              load_failure(library));
}

}  // namespace
