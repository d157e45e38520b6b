#include "db/uDtmApi.h"

#include <gtest/gtest.h>

#include "db/firebird/database_error.h"
#include "support/failure_message.h"
#include "support/test_database.h"
#include "util/utf.h"

namespace {

using Texts = std::vector<std::u16string>;
using Rows = std::vector<Texts>;

class TdtmApiTest : public ::testing::Test {
protected:
    TdtmApiTest()
    {
        dtmApi.pathBancoVardex = db.name();
        dtmApi.dtmConectVardex(true);
    }

    std::u16string column(std::u16string_view name) { return dtmApi.qrySelect1.FieldByName(name).AsString(); }

    bool select_product(int code)
    {
        return dtmApi.SelectFile(u"1", u"Mercadorias", u"cod_red=" + utf8_to_utf16(std::to_string(code)));
    }

    Rows product_codes() { return read_rows(db.file, u"select cod_red from Mercadorias order by cod_red"); }

    TestDatabase db;
    TdtmApi dtmApi;
};

TEST_F(TdtmApiTest, UpdateStoresWhatTheInsertStores)
{
    const Texts pairs = {u"cod_red", u"1", u"nom_mer", u"O'Neil", u"vlr_ven", u"12,50", u"ape_cup", u"A\"B"};
    dtmApi.INSERTFILE(u"Mercadorias", pairs);
    ASSERT_TRUE(select_product(1));
    EXPECT_EQ(u"O'Neil", column(u"nom_mer"));
    EXPECT_EQ(u"12,50", column(u"vlr_ven"));
    EXPECT_EQ(u"A\"B", column(u"ape_cup"));

    dtmApi.UPDATEFILE_Matriz(u"Mercadorias", u"cod_red=1", pairs);
    EXPECT_EQ((Texts{u"UPDATE Mercadorias SET", u"cod_red='1',nom_mer='O''Neil',vlr_ven='12,50',ape_cup='A\"B'",
                     u"WHERE", u"( cod_red=1 )"}),
              dtmApi.qryProcesso.text());
    ASSERT_TRUE(select_product(1));
    EXPECT_EQ(u"O'Neil", column(u"nom_mer"));
    EXPECT_EQ(u"12,50", column(u"vlr_ven"));
    EXPECT_EQ(u"A\"B", column(u"ape_cup"));
}

TEST_F(TdtmApiTest, ListOf27TextsWrites13Pairs)
{
    const Texts columns = {u"cod_red", u"nom_mer",     u"ape_cup",     u"cod_bar", u"ref_mer", u"dep_mer", u"uni_mer",
                           u"uni_bal", u"pro_balanca", u"pro_servico", u"cod_ncm", u"QTD_EST", u"vlr_ven"};
    Texts pairs;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        pairs.push_back(columns[i]);
        pairs.push_back(utf8_to_utf16(std::to_string(i == 0 ? 5 : i)));
    }
    pairs.push_back(u"no_such_column");
    ASSERT_EQ(27u, pairs.size());
    dtmApi.INSERTFILE(u"Mercadorias", pairs);
    dtmApi.UPDATEFILE_Matriz(u"Mercadorias", u"cod_red=5", pairs);
    ASSERT_TRUE(select_product(5));
    EXPECT_EQ(u"1", column(u"nom_mer"));
    EXPECT_EQ(u"12", column(u"vlr_ven"));
    EXPECT_EQ(u"", column(u"pro_ativo"));
}

TEST_F(TdtmApiTest, SelectorsOfSelectFile)
{
    dtmApi.INSERTFILE(u"Departamentos", {u"cod_dep", u"3", u"nom_dep", u"BEBIDAS"});
    EXPECT_TRUE(dtmApi.SelectFile(u"1", u"Departamentos", u"nom_dep='BEBIDAS'"));
    EXPECT_EQ(3, dtmApi.qrySelect1.FieldByName(u"COD_DEP").AsInteger());

    // Any other selector leaves the query as it was.
    for (auto selector : {u"2", u"", u"1 ", u"closed"}) {
        EXPECT_FALSE(dtmApi.SelectFile(selector, u"Nowhere", u"x")) << utf16_to_utf8(selector);
        EXPECT_TRUE(dtmApi.qrySelect1.active());
        EXPECT_EQ(u"3", column(u"cod_dep"));
    }

    EXPECT_FALSE(dtmApi.SelectFile(u"1", u"Departamentos", u"nom_dep='LATICINIOS'"));
    EXPECT_TRUE(dtmApi.qrySelect1.active());
    EXPECT_TRUE(dtmApi.qrySelect1.Eof());

    for (auto selector : {u"close", u"CLOSE", u"cLoSe"}) {
        ASSERT_TRUE(dtmApi.SelectFile(u"1", u"Departamentos", u"cod_dep=3"));
        EXPECT_FALSE(dtmApi.SelectFile(selector, u"", u"")) << utf16_to_utf8(selector);
        EXPECT_FALSE(dtmApi.qrySelect1.active()) << utf16_to_utf8(selector);
    }
}

TEST_F(TdtmApiTest, MaximumOfAnEmptyTableReadsZero)
{
    dtmApi.qrySelect1.replace_text({u"Select Max(cod_dep) codigo from Departamentos"});
    dtmApi.qrySelect1.Open();
    ASSERT_FALSE(dtmApi.qrySelect1.Eof());
    EXPECT_EQ(0, dtmApi.qrySelect1.FieldByName(u"codigo").AsInteger());
}

TEST_F(TdtmApiTest, FoundRowStaysReadableAfterCommit)
{
    dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"9", u"nom_mer", u"CAFE"});
    ASSERT_TRUE(select_product(9));
    EXPECT_TRUE(dtmApi.dtmApiCommit());
    EXPECT_EQ(u"CAFE", column(u"nom_mer"));
    EXPECT_EQ((Rows{{u"9"}}), product_codes());
}

TEST_F(TdtmApiTest, DisconnectDropsWhatIsNotCommitted)
{
    dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"1"});
    dtmApi.dtmApiCommit();
    dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"2"});
    ASSERT_TRUE(select_product(2));
    dtmApi.dtmConectVardex(false);
    EXPECT_FALSE(dtmApi.dtbVardex.connected());
    EXPECT_FALSE(dtmApi.qrySelect1.active());
    EXPECT_EQ((Rows{{u"1"}}), product_codes());
}

// A second connect first disconnects, which commits the open transaction.
TEST_F(TdtmApiTest, ConnectingAgainCommitsTheWorkSoFar)
{
    dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"4"});
    dtmApi.dtmConectVardex(true);
    dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"5"});
    dtmApi.dtmConectVardex(false);
    EXPECT_EQ((Rows{{u"4"}}), product_codes());
}

TEST_F(TdtmApiTest, FailedWriteLeavesTheTransactionAndEarlierRows)
{
    dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"1"});
    EXPECT_THROW(dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", u"1"}), DatabaseError);
    EXPECT_THROW(dtmApi.INSERTFILE(u"Mercadorias", {}), DatabaseError);
    EXPECT_THROW(dtmApi.UPDATEFILE_Matriz(u"Mercadorias", u"cod_red=1", {u"uni_mer", u"LITROS"}), DatabaseError);
    EXPECT_TRUE(dtmApi.ibtVardex.active());
    EXPECT_TRUE(dtmApi.dtmApiCommit());
    dtmApi.dtmConectVardex(false);
    EXPECT_EQ((Rows{{u"1"}}), product_codes());
}

TEST_F(TdtmApiTest, UpdateWithNothingToAssignSendsNothing)
{
    dtmApi.INSERTFILE(u"Departamentos", {u"cod_dep", u"1"});
    const auto insert = dtmApi.qryProcesso.text();
    dtmApi.UPDATEFILE_Matriz(u"Departamentos", u"cod_dep=1", {u"", u"", u"", u""});
    EXPECT_EQ(insert, dtmApi.qryProcesso.text());
}

TEST(TdtmApi, ConnectWithoutDatabaseName)
{
    TdtmApi dtmApi;
    EXPECT_EQ(u"Database name is missing", failure_message([&] { dtmApi.dtmConectVardex(true); }));
    EXPECT_NO_THROW(dtmApi.dtmConectVardex(false));
}

}  // namespace

namespace {

// A commit trigger that refuses a marked row makes the commit fail.
TEST(TdtmApi, FailedCommitDiscardsTheWorkAndKeepsTheTransaction)
{
    TestDatabase db;
    execute_statements(db.file, {u"create exception e_refused 'refused'",
                                 u"create trigger refuse_marked on transaction commit as begin"
                                 u" if (exists(select 1 from Departamentos where nom_dep = 'REFUSE')) then"
                                 u" exception e_refused; end"});
    TdtmApi dtmApi;
    dtmApi.pathBancoVardex = db.name();
    dtmApi.dtmConectVardex(true);
    dtmApi.INSERTFILE(u"Departamentos", {u"cod_dep", u"1", u"nom_dep", u"REFUSE"});
    EXPECT_FALSE(dtmApi.dtmApiCommit());
    EXPECT_TRUE(dtmApi.ibtVardex.active());
    dtmApi.INSERTFILE(u"Departamentos", {u"cod_dep", u"2", u"nom_dep", u"KEPT"});
    EXPECT_TRUE(dtmApi.dtmApiCommit());
    dtmApi.dtmConectVardex(false);
    EXPECT_EQ((Rows{{u"2"}}), read_rows(db.file, u"select cod_dep from Departamentos"));
}

}  // namespace
