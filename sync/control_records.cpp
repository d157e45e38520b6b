#include "sync/control_records.h"

#include "api/memory_table.h"
#include "util/number_text.h"

#include <algorithm>

namespace {

constexpr std::u16string_view bearer_prefix = u"Bearer ";

bool has_column(const MemoryTable& table, std::u16string_view name)
{
    const auto folded = MemoryTable::folded_name(name);
    const auto columns = table.column_names();
    return std::any_of(columns.begin(), columns.end(),
                       [&](const std::u16string& column) { return MemoryTable::folded_name(column) == folded; });
}

bool is_foreign_control_record(std::u16string_view nome, std::u16string_view token)
{
    return nome.starts_with(bearer_prefix) && nome.substr(bearer_prefix.size()) != token;
}

}  // namespace

std::u16string check_control_records(MemoryTable& page, std::u16string_view token, std::int32_t page_start)
{
    // A page without rows or names is judged by the loop itself.
    if (!page.Active() || !has_column(page, u"nome")) return u"OK";
    for (page.First(); !page.Eof(); page.Next())
        if (is_foreign_control_record(page.FieldByName(u"nome").received_text(), token))
            return u"ERRO: a pagina iniciada no id " + integer_to_text(page_start) +
                   u" traz o registro de controle de outro token; importacao interrompida";
    return u"OK";
}
