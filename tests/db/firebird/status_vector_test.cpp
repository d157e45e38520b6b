#include "db/firebird/status_vector.h"

#include <gtest/gtest.h>

#include "db/firebird/client_library.h"
#include "util/utf.h"

namespace {

constexpr ISC_STATUS random_text = 335544382;  // isc_random: its text is the one argument
constexpr ISC_STATUS lost_connection = 335544741;
constexpr ISC_STATUS net_read = 335544726;

// A vector of isc_random codes, one per line of text.
StatusVector vector_of_lines(const std::vector<const char*>& lines, ISC_STATUS extra_code = 0)
{
    StatusVector status;
    ISC_STATUS* out = status.get();
    for (const char* line : lines) {
        *out++ = isc_arg_gds;
        *out++ = random_text;
        *out++ = isc_arg_string;
        *out++ = reinterpret_cast<ISC_STATUS>(line);
    }
    if (extra_code) {
        *out++ = isc_arg_gds;
        *out++ = extra_code;
    }
    *out = isc_arg_end;
    return status;
}

TEST(StatusVector, LinesJoinedByCrLfWithoutTheFinalFullStop)
{
    auto library = ClientLibrary::load();
    struct {
        std::vector<const char*> lines;
        std::u16string message;
    } cases[] = {
        {{"one"}, u"one"},
        {{"one."}, u"one"},
        {{"one.."}, u"one."},
        {{"one.", "two", "three."}, u"one.\r\ntwo\r\nthree"},
        {{"one\n", "two"}, u"one\ntwo"},
    };
    for (const auto& c : cases) {
        const auto error = vector_of_lines(c.lines).error(library->api());
        EXPECT_EQ(c.message, error.message()) << error.what();
        EXPECT_EQ(random_text, error.error_code());
    }
}

TEST(StatusVector, FindsCodesPastStringArguments)
{
    EXPECT_TRUE(vector_of_lines({"a", "b"}, lost_connection).connection_lost());
    EXPECT_FALSE(vector_of_lines({"a"}, lost_connection).network_failed());
    EXPECT_TRUE(vector_of_lines({"a"}, net_read).network_failed());
    EXPECT_FALSE(vector_of_lines({"a"}).connection_lost());
}

}  // namespace
