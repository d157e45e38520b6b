#include "db/statement_texts.h"

#include "util/frmfunckelvo.h"

namespace {

void drop_last_character(std::u16string& text)
{
    if (!text.empty()) text.pop_back();
}

}  // namespace

int pair_count(const std::vector<std::u16string>& mDados)
{
    return ObjKelvo.FloatToInt(static_cast<double>(mDados.size()) / 2.0);
}

std::u16string select_statement_line(std::u16string_view table, std::u16string_view condition)
{
    std::u16string line = u"Select * From ";
    line += table;
    line += u" Where ( ";
    line += condition;
    line += u" )";
    return line;
}

std::vector<std::u16string> insert_statement_lines(std::u16string_view table, const std::vector<std::u16string>& mDados)
{
    std::u16string names;
    std::u16string values;
    const int pairs = pair_count(mDados);
    for (int i = 0; i < pairs; ++i) {
        names += mDados[2 * i];
        names += u',';
        values += Entre_Aspas(mDados[2 * i + 1]);
        values += u',';
    }
    drop_last_character(values);
    drop_last_character(names);
    return {u"Insert into " + std::u16string(table), u"( " + names + u" )  ", u" Values ( " + values + u" )  "};
}

std::vector<std::u16string> update_statement_lines(std::u16string_view table, std::u16string_view assignments,
                                                   std::u16string_view condition)
{
    return {u"UPDATE " + std::u16string(table) + u" SET", std::u16string(assignments), u"WHERE",
            u"( " + std::u16string(condition) + u" )"};
}

std::u16string update_assignments(const std::vector<std::u16string>& mDados)
{
    std::u16string assignments;
    const int pairs = pair_count(mDados);
    for (int i = 0; i < pairs; ++i) {
        const auto& name = mDados[2 * i];
        const auto& value = mDados[2 * i + 1];
        // Quoted as the insert quotes it, so that a re-import stores the
        // very text the first import stored.
        if (!value.empty() || !name.empty()) {
            assignments += name;
            assignments += u'=';
            assignments += Entre_Aspas(value);
            assignments += u',';
        }
    }
    drop_last_character(assignments);
    return assignments;
}
