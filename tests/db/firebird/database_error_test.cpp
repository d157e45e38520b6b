#include "db/firebird/database_error.h"

#include <gtest/gtest.h>

namespace {

// A failure that may pass ends the run unconfirmed; one caused by the
// product's own data only skips the product. The secondary codes count:
// the engine often puts the telling code after a general one.
TEST(DatabaseError, TransientFailuresAreToldFromDataRefusals)
{
    struct {
        const char* what;
        std::vector<std::int64_t> codes;
        bool transient;
    } cases[] = {
        {"deadlock, update conflict", {335544336, 335544451, 335544878}, true},
        {"lock conflict on no wait", {335544345, 335544878}, true},
        {"lock time-out", {335544336, 335544510, 335544878}, true},
        {"unique key violation on insert", {335544665}, true},
        {"duplicate value in unique index", {335544349}, true},
        {"network request", {335544721}, true},
        {"read from the connection", {335544726}, true},
        {"write to the connection", {335544727}, true},
        {"connection lost", {335544741}, true},
        {"database shut down", {335544528}, true},
        {"connection shut down", {335544856}, true},
        {"no active connection", {335544324}, true},
        {"I/O error", {335544344}, true},
        {"out of memory", {335544430}, true},
        {"string truncation", {335544321, 335544914}, false},
        {"conversion", {335544334}, false},
        {"not null", {335544347}, false},
        {"check constraint", {335544558}, false},
        {"foreign key", {335544466}, false},
        {"syntax", {335544569, 335544436, 335544634}, false},
        {"no codes", {}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.transient, DatabaseError(u"x", -1, c.codes).is_transient()) << c.what;
}

}  // namespace
