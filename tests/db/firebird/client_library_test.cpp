#include "db/firebird/client_library.h"

#include <gtest/gtest.h>

#include "support/failure_message.h"

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

TEST(ClientLibrary, MissingEntryPointGivesTheSystemText)
{
    const std::string library = INCOMPLETE_CLIENT_LIBRARY;
    const std::string text = ": undefined symbol: isc_database_info";
    EXPECT_EQ(u"System Error.  Code: 0.\r\n" + std::u16string(library.begin(), library.end()) +
                  std::u16string(text.begin(), text.end()),
              load_failure(library));
}

}  // namespace
