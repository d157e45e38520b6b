#include "db/firebird/ib_transaction.h"

#include <gtest/gtest.h>

#include "db/firebird/client_library.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "support/failure_message.h"
#include "support/test_database.h"
#include "util/error.h"

namespace {

using Rows = std::vector<std::vector<std::u16string>>;

class IBTransactionTest : public ::testing::Test {
protected:
    IBTransactionTest()
        : database(ClientLibrary::load()), transaction(database), query(database, transaction, u"qryTest")
    {
        database.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
        database.set_database_name(db.name());
    }

    void connect_and_start()
    {
        database.connect();
        transaction.start();
    }

    void insert_department(int code)
    {
        query.replace_text({u"insert into Departamentos (cod_dep) values (" + std::u16string(1, u'0' + code) + u")"});
        query.execute();
    }

    Rows departments() { return read_rows(db.file, u"select cod_dep from Departamentos order by cod_dep"); }

    TestDatabase db;
    IBDatabase database;
    IBTransaction transaction;
    IBQuery query;
};

TEST_F(IBTransactionTest, StateErrors)
{
    EXPECT_EQ(u"Cannot perform operation -- DB is not open", failure_message([&] { transaction.start(); }));
    EXPECT_EQ(u"Transaction is not active", failure_message([&] { transaction.commit_retaining(); }));
    EXPECT_EQ(u"Transaction is not active", failure_message([&] { transaction.rollback_retaining(); }));
    EXPECT_EQ(u"Transaction is not active", failure_message([&] { transaction.rollback(); }));
    EXPECT_NO_THROW(transaction.make_inactive());
    connect_and_start();
    EXPECT_EQ(u"Transaction is active", failure_message([&] { transaction.start(); }));
}

TEST_F(IBTransactionTest, RetainingKeepsTheOpenRowAndThePreparedStatement)
{
    connect_and_start();
    insert_department(1);
    transaction.commit_retaining();
    query.replace_text({u"select cod_dep from Departamentos"});
    query.Open();
    transaction.commit_retaining();
    EXPECT_TRUE(query.active());
    EXPECT_EQ(1, query.FieldByName(u"cod_dep").AsInteger());

    insert_department(2);
    EXPECT_TRUE(query.prepared());
    transaction.rollback_retaining();
    EXPECT_TRUE(transaction.active());
    EXPECT_TRUE(query.prepared());
    database.disconnect();
    EXPECT_EQ((Rows{{u"1"}}), departments());
}

TEST_F(IBTransactionTest, RollbackEndsItAndUnpreparesItsQueries)
{
    connect_and_start();
    insert_department(1);
    query.replace_text({u"select cod_dep from Departamentos"});
    query.Open();
    transaction.rollback();
    EXPECT_FALSE(transaction.active());
    EXPECT_FALSE(query.active());
    EXPECT_FALSE(query.prepared());
    database.disconnect();
    EXPECT_EQ(Rows{}, departments());
}

// At disconnect an active transaction ends by its default action.
TEST(IBTransactionDefaultAction, DecidesWhatDisconnectKeeps)
{
    struct {
        TransactionAction action;
        bool kept;
    } cases[] = {
        {TransactionAction::commit, true},
        {TransactionAction::commit_retaining, true},
        {TransactionAction::rollback, false},
        {TransactionAction::rollback_retaining, false},
    };
    for (const auto& c : cases) {
        TestDatabase db;
        {
            IBDatabase database(ClientLibrary::load());
            IBTransaction transaction(database, c.action);
            IBQuery query(database, transaction, u"qryTest");
            database.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
            database.set_database_name(db.name());
            database.connect();
            transaction.start();
            query.replace_text({u"insert into Departamentos (cod_dep) values (1)"});
            query.execute();
            database.disconnect();
            EXPECT_FALSE(transaction.active());
        }
        EXPECT_EQ(c.kept ? 1u : 0u, read_rows(db.file, u"select * from Departamentos").size())
            << static_cast<int>(c.action);
    }
}

}  // namespace
