#include "db/firebird/ib_database.h"

#include <gtest/gtest.h>

#include "db/firebird/client_library.h"
#include "db/firebird/database_error.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"
#include "support/failure_message.h"
#include "support/test_database.h"
#include "util/number_text.h"
#include "util/utf.h"

namespace {

struct Connection {
    Connection() : database(ClientLibrary::load()), transaction(database), query(database, transaction, u"qryTest")
    {
        database.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
    }
    IBDatabase database;
    IBTransaction transaction;
    IBQuery query;
};

TEST(IBDatabase, NameIsRequiredAndFixedWhileConnected)
{
    TestDatabase db;
    Connection c;
    EXPECT_EQ(u"Database name is missing", failure_message([&] { c.database.connect(); }));
    c.database.set_database_name(db.name());
    c.database.connect();
    EXPECT_TRUE(c.database.connected());
    EXPECT_EQ(u"Cannot perform operation -- DB is currently open",
              failure_message([&] { c.database.set_database_name(u"/elsewhere.fdb"); }));
    c.database.disconnect();
    EXPECT_FALSE(c.database.connected());
    c.database.disconnect();  // nothing to do
}

TEST(IBDatabase, AttachFailureCarriesTheServerLinesAndCodes)
{
    TempDir directory;
    Connection c;
    c.database.set_database_name(utf8_to_utf16((directory.path() / "missing.fdb").string()));
    try {
        c.database.connect();
        FAIL();
    } catch (const DatabaseError& e) {
        const auto& text = e.message();
        EXPECT_EQ(0u, text.find(u"I/O error during \"open\" operation for file")) << e.what();
        EXPECT_NE(std::u16string::npos, text.find(u"\"\r\nError while trying to open file\r\n")) << e.what();
        EXPECT_NE(u'.', text.back());
        EXPECT_EQ(335544344, e.error_code());  // isc_io_error
        EXPECT_EQ(-902, e.sql_code());
    }
    EXPECT_FALSE(c.database.connected());
}

// Nothing listens on port 1: the client's last line ends with a full stop,
// which the message drops; the one inside stays.
TEST(IBDatabase, FinalFullStopOfTheMessageIsRemoved)
{
    Connection c;
    c.database.set_database_name(u"127.0.0.1/1:/tmp/importador-none.fdb");
    try {
        c.database.connect();
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_EQ(u"Unable to complete network request to host \"127.0.0.1\".\r\nFailed to establish a connection",
                  e.message());
    }
}

// Integer division is the visible difference: 1/2 is 0 in dialect 3 and
// 0.5 in dialect 1, where the client has to prepare in dialect 1 as well.
TEST(IBDatabase, ClientDialectDropsToTheDatabases)
{
    struct {
        int dialect;
        std::u16string half;
    } cases[] = {
        {3, u"0"},
        {1, std::u16string(u"0") + regional_decimal_separator() + u"5"},
    };
    for (const auto& row : cases) {
        TestDatabase db(row.dialect);
        Connection c;
        c.database.set_database_name(db.name());
        c.database.connect();
        EXPECT_EQ(row.dialect, c.database.sql_dialect());
        c.transaction.start();
        c.query.replace_text({u"select 1/2 as half from rdb$database"});
        c.query.Open();
        EXPECT_EQ(row.half, c.query.FieldByName(u"half").AsString()) << row.dialect;
        c.database.disconnect();
    }
}

}  // namespace
