#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "util/ansi_codepage.h"

// The code page that encodes a database character set's text, by the name
// the database declares; none for NONE, OCTETS and sets this program cannot
// encode.
std::optional<AnsiCodePage> code_page_of_character_set(std::u16string_view name);

// The code page of a database that declares no character set: the one that
// IMPORTADOR_DATABASE_CODEPAGE names (an iconv name such as WINDOWS-1252),
// else the ANSI code page. Throws Error for a name iconv does not know.
AnsiCodePage code_page_without_character_set();

// The longest prefix of whole characters of `text` that a text column of
// `limit` characters holds: counted in characters where the database
// declares a character set, in bytes of `code_page` where it declares none.
std::u16string fit_to_column(std::u16string_view text, std::size_t limit, bool character_set_declared,
                             const AnsiCodePage& code_page);
