#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"
#include "util/ansi_codepage.h"

// Creates a new database file with the importer's tables Departamentos and
// Mercadorias (every Mercadorias column that takes a number is text, so a
// test sees the exact text sent). Nothing stays attached afterwards.
// A default character set (WIN1252, UTF8) is declared when one is named.
void create_test_database(const std::filesystem::path& file, int sql_dialect = 3,
                          const std::string& default_character_set = {});

// A fresh database with the importer's tables in its own temp directory.
struct TestDatabase {
    explicit TestDatabase(int sql_dialect = 3, const std::string& default_character_set = {});
    std::u16string name() const;  // the file path as the client library takes it
    TempDir directory;
    std::filesystem::path file;
};

// `database` below is named as the client library takes it: a file (the
// embedded engine; a path converts) or host/port:path through a server.

// Runs statements (DDL or DML) on the database and commits; nothing stays attached.
void execute_statements(const std::string& database, const std::vector<std::u16string>& statements);

// How text comes back: the connection's character set (none by default)
// and the code page its bytes are decoded with (the ANSI one by default).
struct ReadAs {
    std::u16string lc_ctype;
    std::optional<AnsiCodePage> code_page;
};

// Every row of a SELECT, each column as text; nothing stays attached.
std::vector<std::vector<std::u16string>> read_rows(const std::string& database, std::u16string_view select,
                                                   const ReadAs& read_as = {});
