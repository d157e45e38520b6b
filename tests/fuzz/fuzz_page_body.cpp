// A products page body through everything a page passes: body text decoding,
// the JSON reader, the products table, its compact text and the checker.
#include "fuzz_input.h"
#include "fuzz_targets.h"

#include "api/cell_text.h"
#include "api/memory_table.h"
#include "api/response_checker.h"
#include "api/rest_response.h"
#include "api/rest_table_adapter.h"
#include "http/body_text.h"
#include "util/error.h"
#include "util/utf.h"
#include "json/compact_writer.h"
#include "json/reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The content types a service could send; the first input byte picks one.
constexpr const char* content_types[] = {
    "application/json",
    "application/json; charset=utf-8",
    "application/json;charset=\"UTF-8\"",
    "application/json; charset=iso-8859-1",
    "application/json; charset=windows-1252",
    "application/json; charset=iso-8859-15",
    "application/json; charset=utf-16le",
    "application/json; charset=no-such-charset",
    "text/plain",
    "",
};

enum class Load { ok, number_failed, not_json };

struct TableSnapshot {
    Load load = Load::ok;
    std::vector<std::u16string> columns;
    std::vector<MemoryTable::Cell> cells;
};

template <typename Read> std::optional<std::u16string> conversion_failure_of(Read read)
{
    try {
        read();
    } catch (const ConversionError& failure) {
        return failure.message();
    }
    return std::nullopt;
}

// A number the table cannot hold must never pass as some other value, so its
// cell fails every read alike, while its own characters stay there for the
// skip report. Such a cell is kept in the snapshot as those characters.
MemoryTable::Cell read_failed_cell(const MemoryTable::Field& field, const std::u16string& failure)
{
    fuzz_expect(conversion_failure_of([&] { field.IsNull(); }) == failure, "a failed cell fails IsNull alike", failure);
    fuzz_expect(conversion_failure_of([&] { field.AsInteger(); }) == failure, "a failed cell fails AsInteger alike",
                failure);
    fuzz_expect(conversion_failure_of([&] { field.AsFloat(); }) == failure, "a failed cell fails AsFloat alike",
                failure);
    const std::u16string received = field.received_text();
    fuzz_expect(failure == u"'" + received + u"' is not a valid integer value" ||
                    failure == u"'" + received + u"' is not a valid floating point value",
                "a failed cell names its own characters", failure);
    return received;
}

MemoryTable::Cell read_cell(const MemoryTable::Field& field)
{
    std::u16string text;
    if (const auto failure = conversion_failure_of([&] { text = field.AsString(); }))
        return read_failed_cell(field, *failure);
    fuzz_expect(text.size() <= text_column_size, "a cell keeps at most the column size");
    fuzz_expect(!field.IsNull() || text.empty(), "a null cell reads as empty text");
    fuzz_expect(field.received_text() == text, "a readable cell's received text is its text", text);
    conversion_failure_of([&] { field.AsInteger(); });
    conversion_failure_of([&] { field.AsFloat(); });
    return field.IsNull() ? MemoryTable::Cell() : MemoryTable::Cell(text);
}

// Reads the table the way the import loop does, checking its promises.
TableSnapshot walk(MemoryTable& table, Load load)
{
    TableSnapshot snapshot;
    snapshot.load = load;
    if (!table.Active()) return snapshot;
    snapshot.columns = table.column_names();
    fuzz_expect(!snapshot.columns.empty(), "an open table has columns");
    std::size_t rows = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        fuzz_expect(++rows <= table.RecordCount(), "the rows read stay within RecordCount");
        for (const auto& name : snapshot.columns) snapshot.cells.push_back(read_cell(table.FieldByName(name)));
    }
    fuzz_expect(rows == table.RecordCount(), "every row is read once");
    return snapshot;
}

// Loads the table from the body's events; what load_json may throw is part of
// its contract.
template <typename Loading> TableSnapshot load_and_walk(MemoryTable& table, Loading load)
{
    Load outcome = Load::ok;
    try {
        load();
    } catch (const ConversionError&) {
        outcome = Load::number_failed;
    } catch (const Error& failure) {
        fuzz_expect(failure.message() == u"Response content is not valid JSON", "unexpected load failure",
                    failure.message());
        outcome = Load::not_json;
    }
    return walk(table, outcome);
}

std::optional<std::u16string> compact_text_of(const std::function<bool(JsonEvents&)>& read)
{
    std::u16string text;
    CompactJsonWriter writer(text);
    if (!read(writer)) return std::nullopt;
    return text;
}

// An answer's bytes as the loop gets them: streamed into the products table,
// and kept as the compact text the checker reads.
struct StreamedPage {
    TableSnapshot table;
    std::optional<std::u16string> compact;
    bool empty = true;
};

StreamedPage stream_page(std::string body, const std::string& content_type, char16_t separator)
{
    HttpResult result;
    result.status = 200;
    result.headers = {{"Content-Type", content_type}};
    result.body = std::move(body);

    RestResponse response;
    MemoryTable table(u"tblProdutos");
    table.set_decimal_separator(separator);
    RestTableAdapter adapter(response, table);
    StreamedPage page;
    page.table = load_and_walk(table, [&] {
        response.assign(result);
        adapter.Activate();
    });
    try {
        page.compact = response.compact_text();
    } catch (const Error&) {
    }
    page.empty = response.empty();
    return page;
}

// A page accepted once is accepted again, as the same table, when its compact
// text comes back as a UTF-8 body: nothing it holds may only be read once.
void expect_accepted_again(const std::u16string& compact, char16_t separator, const TableSnapshot& first)
{
    const TableSnapshot again = stream_page(utf16_to_utf8(compact), "application/json; charset=utf-8", separator).table;
    fuzz_expect(again.load == first.load && again.columns == first.columns && again.cells == first.cells,
                "a page is read alike from its compact text", compact);
}

}  // namespace

int fuzz_page_body(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t selector = input.byte();
    const std::string content_type = content_types[selector % std::size(content_types)];
    const char16_t separator = selector & 0x80 ? u',' : u'.';
    const std::string body(input.rest());
    const StreamedPage page = stream_page(body, content_type, separator);
    const TableSnapshot& streamed = page.table;
    const std::optional<std::u16string>& compact = page.compact;
    if (!page.empty)
        fuzz_expect(compact.has_value() == (streamed.load != Load::not_json),
                    "the table and the compact text agree on what is JSON");

    // The body decoded as a whole and read as UTF-16 gives the same table and
    // the same compact text as the stream from the bytes.
    const std::u16string decoded = decode_body_text(body, content_type);
    MemoryTable whole(u"tblProdutos");
    whole.set_decimal_separator(separator);
    const TableSnapshot from_text = load_and_walk(whole, [&] { whole.load_body(decoded); });
    if (!decoded.empty() && body_is_utf8(content_type)) {
        const auto again = compact_text_of([&](JsonEvents& e) { return read_json_events(decoded, e); });
        fuzz_expect(again == compact, "UTF-8 stream and decoded text give the same compact text");
        fuzz_expect(from_text.load == streamed.load && from_text.columns == streamed.columns &&
                        from_text.cells == streamed.cells,
                    "UTF-8 stream and decoded text give the same table");
    }

    if (!compact) return 0;
    // Compact text reads back to itself, unless it holds a control character
    // other than the five it escapes: those it writes as they are.
    const bool raw_controls = std::any_of(compact->begin(), compact->end(), [](char16_t c) { return c < 0x20; });
    if (!raw_controls) {
        const auto recompacted = compact_text_of([&](JsonEvents& e) { return read_json_events(*compact, e); });
        fuzz_expect(recompacted == compact, "compact text is stable", *compact);
        if (streamed.load != Load::not_json) expect_accepted_again(*compact, separator, streamed);
    }

    std::vector<std::u16string> scan;
    const std::u16string verdict = judge_response(*compact, &scan);
    fuzz_expect(verdict == u"OK" || verdict.starts_with(u"ERRO"), "the verdict is OK or ERRO...");
    fuzz_expect(scan.size() <= 8, "the scan stops after the sixth entry");
    return 0;
}
