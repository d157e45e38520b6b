#pragma once

#include <string>

// What the environment's locale says (LC_ALL / LC_NUMERIC / LC_CTYPE /
// LANG), read without changing the process locale. Each call asks afresh;
// callers keep the answer.

// The decimal separator of LC_NUMERIC; '.' when the locale cannot be had or
// its separator is not a single character.
char16_t read_regional_decimal_separator();

// The codeset of LC_CTYPE as nl_langinfo names it ("UTF-8", "ISO-8859-1",
// "ANSI_X3.4-1968" ...); empty when the locale cannot be had.
std::string read_environment_codeset();
