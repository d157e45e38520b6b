// What one pass over a page's rows tells the loop: the rows it skips as
// control records, where the next page starts, and the row where writing
// the page must fail.
#include "sync/control_records.h"

#include "api/memory_table.h"
#include "util/error.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(PageFacts, OnePassFindsWhatTheLoopActsOn)
{
    constexpr auto none = std::nullopt;
    struct {
        const char* body;
        std::vector<bool> control_rows;
        std::optional<std::int32_t> next_start_id;
        bool last;
        bool foreign;
        std::optional<std::size_t> unreadable_row;
    } cases[] = {
        {"[]", {}, none, true, false, none},
        {"[{\"codigo\":1,\"nome\":\"a\"},{\"codigo\":7,\"nome\":\"Bearer tok\"}]",
         {false, true},
         7,
         false,
         false,
         none},
        {"[{\"codigo\":7,\"nome\":\"Bearer tok\"},{\"codigo\":1,\"nome\":\"a\"}]",
         {true, false},
         7,
         false,
         false,
         none},
        {"[{\"codigo\":0,\"nome\":\"Bearer tok\"},{\"codigo\":1,\"nome\":\"a\"}]", {true, false}, 0, true, false, none},
        // The last control record names the start.
        {"[{\"codigo\":3,\"nome\":\"Bearer tok\"},{\"codigo\":9,\"nome\":\"Bearer tok\"}]",
         {true, true},
         9,
         false,
         false,
         none},
        {"[{\"codigo\":\"x\",\"nome\":\"Bearer tok\"}]", {true}, none, false, false, none},
        {"[{\"codigo\":1,\"nome\":\"Bearer tokX\"},{\"codigo\":2,\"nome\":\"Bearer tok\"}]",
         {false, true},
         2,
         false,
         true,
         none},
        // A nome that is no 64-bit integer is a product's bad member.
        {"[{\"codigo\":1,\"nome\":123456789012345678901234567890}]", {false}, none, false, false, none},
        {"[{\"codigo\":1},{\"codigo\":2}]", {false, false}, none, false, false, 0},
        // Without codigo, the control record is where writing fails; the
        // rows after it no longer name the start.
        {"[{\"nome\":\"a\"},{\"nome\":\"Bearer tok\"},{\"nome\":\"Bearer outro\"}]",
         {false, true, false},
         none,
         false,
         true,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        MemoryTable page(u"tblProdutos");
        page.load_body(utf8_to_utf16(c.body));
        const PageFacts facts = facts_of_page(page, u"tok");
        EXPECT_EQ(c.control_rows, facts.control_rows);
        EXPECT_EQ(c.next_start_id, facts.next_start_id);
        EXPECT_EQ(c.last, facts.last);
        EXPECT_EQ(c.foreign, facts.foreign_control_record);
        EXPECT_EQ(c.unreadable_row, facts.unreadable_row);
        EXPECT_EQ(c.unreadable_row.has_value(), facts.unreadable_reason != nullptr);
    }
}

// The failure that writing throws at the unreadable row is the one the
// row's own read gave, message and all.
TEST(PageFacts, UnreadableRowKeepsItsFailure)
{
    MemoryTable page(u"tblProdutos");
    page.load_body(u"[{\"codigo\":1}]");
    const PageFacts facts = facts_of_page(page, u"tok");
    ASSERT_TRUE(facts.unreadable_reason);
    try {
        std::rethrow_exception(facts.unreadable_reason);
    } catch (const std::exception& failure) {
        EXPECT_EQ(u"tblProdutos: Field 'nome' not found", message_of(failure));
    }
}

}  // namespace
