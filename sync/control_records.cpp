#include "sync/control_records.h"

#include "api/memory_table.h"
#include "util/error.h"
#include "util/number_text.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::u16string_view bearer_prefix = u"Bearer ";

bool has_column(const MemoryTable& table, std::u16string_view name)
{
    const auto folded = MemoryTable::folded_name(name);
    const auto columns = table.column_names();
    return std::any_of(columns.begin(), columns.end(),
                       [&](const std::u16string& column) { return MemoryTable::folded_name(column) == folded; });
}

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
    if (!nome.starts_with(bearer_prefix)) return std::nullopt;
    return nome.substr(bearer_prefix.size());
}

}  // namespace

bool is_control_record(const MemoryTable& page, std::u16string_view token)
{
    const auto named = control_token_of(page);
    return named && *named == token;
}

std::u16string check_control_records(MemoryTable& page, std::u16string_view token, std::int32_t page_start)
{
    // A page without rows or names is judged by the loop itself.
    if (!page.Active() || !has_column(page, u"nome")) return u"OK";
    for (page.First(); !page.Eof(); page.Next())
        if (const auto named = control_token_of(page); named && *named != token)
            return u"ERRO: a pagina iniciada no id " + integer_to_text(page_start) +
                   u" traz o registro de controle de outro token; importacao interrompida";
    return u"OK";
}
