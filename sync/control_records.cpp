#include "sync/control_records.h"

#include "api/bearer.h"
#include "api/memory_table.h"
#include "util/error.h"

#include <string>

namespace {

// The token a row's nome names as a control record's; nothing for a
// product's nome, or for one that cannot be read (a number that is no
// 64-bit integer, say).
std::optional<std::u16string> control_token_of(const MemoryTable& page)
{
    std::u16string nome;
    try {
        nome = page.FieldByName(u"nome").AsString();
    } catch (const ConversionError&) {
        return std::nullopt;
    }
    const auto token = token_of_bearer(nome);
    if (!token) return std::nullopt;
    return std::u16string(*token);
}

// A control record's codigo that cannot be read names no start.
std::optional<std::int32_t> next_start_named_by(const MemoryTable& control_record)
{
    try {
        return control_record.FieldByName(u"codigo").AsInteger();
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

// Once a row has failed, writing stops there: what the rows after it say
// of the next page no longer counts.
void read_control_record(const MemoryTable& page, PageFacts& facts)
{
    facts.control_rows[page.current_row()] = true;
    if (facts.unreadable_row) return;
    facts.next_start_id = next_start_named_by(page);
    if (facts.next_start_id == 0) facts.last = true;
}

void mark_unreadable(const MemoryTable& page, PageFacts& facts)
{
    if (facts.unreadable_row) return;
    facts.unreadable_row = page.current_row();
    facts.unreadable_reason = std::current_exception();
}

}  // namespace

PageFacts facts_of_page(MemoryTable& page, std::u16string_view token)
{
    PageFacts facts;
    facts.has_rows = page.Active() && page.RecordCount() > 0;
    facts.last = !facts.has_rows;
    if (!facts.has_rows) return facts;
    facts.control_rows.assign(page.RecordCount(), false);
    for (page.First(); !page.Eof(); page.Next()) {
        try {
            const auto named = control_token_of(page);
            if (!named) continue;
            if (*named != token)
                facts.foreign_control_record = true;
            else
                read_control_record(page, facts);
        } catch (...) {
            mark_unreadable(page, facts);
        }
    }
    return facts;
}
