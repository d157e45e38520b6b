#pragma once

#include <string>
#include <string_view>
#include <vector>

// The gateway's SQL texts, built from a table name, a condition (the body
// of a WHERE clause, inserted unchanged) and a field/value pair list
// (name 1, value 1, name 2, value 2, ...; a trailing name is ignored).

// Number of pairs in a list: the whole part of half its size.
int pair_count(const std::vector<std::u16string>& mDados);

// "Select * From <table> Where ( <condition> )"
std::u16string select_statement_line(std::u16string_view table, std::u16string_view condition);

// Three lines; every value quoted by Entre_Aspas.
std::vector<std::u16string> insert_statement_lines(std::u16string_view table,
                                                   const std::vector<std::u16string>& mDados);

// Four lines: "UPDATE <table> SET", the assignments, "WHERE", "( <condition> )".
std::vector<std::u16string> update_statement_lines(std::u16string_view table, std::u16string_view assignments,
                                                   std::u16string_view condition);

// name='value' joined by ",", every value quoted by Entre_Aspas as the
// insert quotes it; a pair with empty name and value gives nothing.
std::u16string update_assignments(const std::vector<std::u16string>& mDados);
