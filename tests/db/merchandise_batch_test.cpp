#include "db/merchandise_batch.h"

#include <gtest/gtest.h>

#include "db/firebird/database_error.h"
#include "db/uDtmApi.h"
#include "support/failure_message.h"
#include "support/test_database.h"
#include "util/utf.h"

namespace {

using Texts = std::vector<std::u16string>;
using Rows = std::vector<Texts>;

std::u16string text_of(int value)
{
    return utf8_to_utf16(std::to_string(value));
}

// A product with its code and name, its other columns empty; dep_mer's
// value is the batch's.
MerchandiseBatch::Row product(int code, std::u16string department)
{
    MerchandiseBatch::Row row{.steps = MerchandiseBatch::Steps::department_and_merchandise,
                              .department_name = std::move(department),
                              .department_code = std::nullopt,
                              .code = code,
                              .values = {}};
    row.values[key_field] = text_of(code);
    row.values[name_field] = u"Produto " + text_of(code);
    row.values[department_field] = u"unused";
    return row;
}

// A fresh database, connected, and a batch.
struct Connected {
    Connected()
    {
        dtmApi.pathBancoVardex = db.name();
        dtmApi.dtmConectVardex(true);
    }

    Rows rows(const char16_t* select)
    {
        dtmApi.dtmApiCommit();
        return read_rows(db.file.string(), select);
    }
    Rows merchandise() { return rows(u"select cod_red, nom_mer, dep_mer from Mercadorias order by cod_red"); }
    Rows departments() { return rows(u"select cod_dep, nom_dep, tipo_item, com_dep from Departamentos order by 1"); }

    TestDatabase db;
    TdtmApi dtmApi;
    MerchandiseBatch batch{dtmApi};
};

// One row, one short of a full block and a full block: every row is
// written, the even codes updated because they exist already, the three
// departments created once each, in order, and each row told its code.
TEST(MerchandiseBatch, WritesEveryRowOfABlockUpToItsCapacity)
{
    for (const int count : {1, 49, MerchandiseBatch::capacity}) {
        SCOPED_TRACE(count);
        Connected c;
        std::vector<MerchandiseBatch::Row> block;
        Texts expected_codes;
        for (int code = 1; code <= count; ++code) {
            if (code % 2 == 0) c.dtmApi.INSERTFILE(u"Mercadorias", {u"cod_red", text_of(code), u"nom_mer", u"Antigo"});
            block.push_back(product(code, u"D" + text_of(code % 3)));
            expected_codes.push_back(text_of((code - 1) % 3 + 1));
        }
        const auto written = c.batch.write(block);
        EXPECT_EQ((count + 1) / 2, written.inserted);
        EXPECT_EQ(count / 2, written.updated);
        EXPECT_EQ(std::min(count, 3), written.departments_created);
        EXPECT_EQ(expected_codes, written.department_codes);
        const Rows stored = c.merchandise();
        ASSERT_EQ(static_cast<std::size_t>(count), stored.size());
        EXPECT_EQ((Texts{text_of(count), u"Produto " + text_of(count), expected_codes.back()}), stored.back());
        EXPECT_EQ((Texts{u"1", u"D1", u"99", u"0"}), c.departments().front());
    }
}

// A product whose own data failed writes its department alone; a row given
// its department's code spares the lookup and is told nothing back.
TEST(MerchandiseBatch, DepartmentOnlyRowsAndKnownCodes)
{
    Connected c;
    c.dtmApi.INSERTFILE(u"Departamentos",
                        {u"cod_dep", u"4", u"nom_dep", u"BEBIDAS", u"tipo_item", u"1", u"com_dep", u"1"});
    auto only_department = product(1, u"NOVO");
    only_department.steps = MerchandiseBatch::Steps::department;
    auto known = product(2, u"IGNORADO");
    known.department_code = u"7";

    const auto written = c.batch.write({only_department, known, product(3, u"NOVO"), product(4, u"BEBIDAS")});
    EXPECT_EQ(3, written.inserted);
    EXPECT_EQ(0, written.updated);
    EXPECT_EQ(1, written.departments_created);
    EXPECT_EQ((Texts{u"5", u"5", u"4"}), written.department_codes);
    EXPECT_EQ((Rows{{u"2", u"Produto 2", u"7"}, {u"3", u"Produto 3", u"5"}, {u"4", u"Produto 4", u"4"}}),
              c.merchandise());
    EXPECT_EQ((Rows{{u"4", u"BEBIDAS", u"1", u"1"}, {u"5", u"NOVO", u"99", u"0"}}), c.departments());
}

// A block writes all its rows or none: the department created for the
// rows before the refused one goes too.
TEST(MerchandiseBatch, RefusedBlockWritesNothing)
{
    Connected c;
    auto too_long = product(2, u"NOVO");
    too_long.values[name_field] = std::u16string(51, u'n');
    EXPECT_THROW(c.batch.write({product(1, u"NOVO"), too_long}), DatabaseError);
    EXPECT_TRUE(c.merchandise().empty());
    EXPECT_TRUE(c.departments().empty());

    const std::vector<MerchandiseBatch::Row> over_capacity(MerchandiseBatch::capacity + 1, product(9, u"X"));
    EXPECT_EQ(u"qryLote: too many rows", failure_message([&] { c.batch.write(over_capacity); }));
}

}  // namespace
