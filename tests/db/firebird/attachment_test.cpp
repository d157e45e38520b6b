// The attachment a database shares with its transactions and queries: what
// becomes of their handles when the database goes, disconnects or loses
// its server.
#include "db/firebird/attachment.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "db/firebird/client_library.h"
#include "db/firebird/database_error.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"
#include "support/failure_message.h"
#include "support/test_database.h"
#include "support/test_firebird_server.h"
#include "util/utf.h"

namespace {

using Rows = std::vector<std::vector<std::u16string>>;

std::unique_ptr<IBDatabase> database_of(const std::u16string& name)
{
    auto database = std::make_unique<IBDatabase>(ClientLibrary::load());
    database->set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
    database->set_database_name(name);
    return database;
}

void expect_nothing_held(const IBTransaction& transaction, const IBQuery& query)
{
    EXPECT_FALSE(transaction.active());
    EXPECT_FALSE(query.prepared());
    EXPECT_FALSE(query.active());
    EXPECT_TRUE(query.Eof());
}

// A row left open, one inserted and not committed.
void hold_a_cursor_and_a_write(IBTransaction& transaction, IBQuery& reader, IBQuery& writer)
{
    transaction.start();
    writer.replace_text({u"insert into Departamentos (cod_dep) values (2)"});
    writer.execute();
    reader.replace_text({u"select cod_dep from Departamentos order by cod_dep"});
    reader.Open();
    ASSERT_FALSE(reader.Eof());
}

TEST(Attachment, TransactionAndQueriesMayOutliveTheirDatabase)
{
    TestDatabase db;
    execute_statements(db.file.string(), {u"insert into Departamentos (cod_dep) values (1)"});
    auto database = database_of(db.name());
    IBTransaction transaction(*database);
    IBQuery reader(*database, transaction, u"qryReader");
    IBQuery writer(*database, transaction, u"qryWriter");
    database->connect();
    hold_a_cursor_and_a_write(transaction, reader, writer);

    database.reset();
    expect_nothing_held(transaction, reader);
    EXPECT_EQ(u"Cannot perform operation -- DB is not open", failure_message([&] { writer.execute(); }));
    EXPECT_EQ(u"Transaction is not active", failure_message([&] { transaction.commit(); }));
    EXPECT_EQ((Rows{{u"1"}}), read_rows(db.file.string(), u"select cod_dep from Departamentos"));
}

// A handle kept from before would make the second round fail or skip its
// work ("Transaction is active", a statement never prepared again).
TEST(Attachment, DisconnectEndsEveryHandleAndTheNextConnectionStartsAfresh)
{
    TestDatabase db;
    auto database = database_of(db.name());
    IBTransaction transaction(*database);
    IBQuery reader(*database, transaction, u"qryReader");
    IBQuery writer(*database, transaction, u"qryWriter");
    for (int round = 0; round < 2; ++round) {
        database->connect();
        hold_a_cursor_and_a_write(transaction, reader, writer);
        database->disconnect();
        expect_nothing_held(transaction, reader);
        EXPECT_FALSE(writer.prepared());
        if (round == 0) execute_statements(db.file.string(), {u"delete from Departamentos"});
    }
    EXPECT_EQ((Rows{{u"2"}}), read_rows(db.file.string(), u"select cod_dep from Departamentos"));
}

bool fails_as_transient(const std::function<void()>& action)
{
    try {
        action();
    } catch (const DatabaseError& e) {
        return e.is_transient();
    }
    return false;
}

// The server dies under an open transaction. A statement's failure does not
// judge the connection; the detach does, and every handle left is then
// forgotten, so that the same objects connect again once the server is back.
TEST(AttachmentServerFaults, ServerGoneIsForgottenAtDisconnect)
{
    TestDatabase db;
    FirebirdServer& server = firebird_server();
    const std::string name = server.database_name(db.file);
    auto database = database_of(utf8_to_utf16(name));
    IBTransaction transaction(*database);
    IBQuery reader(*database, transaction, u"qryReader");
    IBQuery writer(*database, transaction, u"qryWriter");
    database->connect();
    hold_a_cursor_and_a_write(transaction, reader, writer);

    server.kill();
    EXPECT_TRUE(fails_as_transient([&] { writer.execute(); }));
    EXPECT_TRUE(database->connected());
    // Each failed drop leaves its statement to the detach.
    for (int attempt = 0; attempt < 5 && database->connected(); ++attempt)
        failure_message([&] { database->disconnect(); });
    server.start();
    EXPECT_FALSE(database->connected());
    expect_nothing_held(transaction, reader);
    EXPECT_FALSE(writer.prepared());

    database->connect();
    hold_a_cursor_and_a_write(transaction, reader, writer);
    transaction.commit();
    EXPECT_EQ((Rows{{u"2"}}), read_rows(name, u"select cod_dep from Departamentos"));
}

}  // namespace
