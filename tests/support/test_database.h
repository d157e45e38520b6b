#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

// Creates a new database file with the importer's tables Departamentos and
// Mercadorias (every Mercadorias column that takes a number is text, so a
// test sees the exact text sent). Nothing stays attached afterwards.
void create_test_database(const std::filesystem::path& file, int sql_dialect = 3);

// A fresh database with the importer's tables in its own temp directory.
struct TestDatabase {
    explicit TestDatabase(int sql_dialect = 3);
    std::u16string name() const;  // the file path as the client library takes it
    TempDir directory;
    std::filesystem::path file;
};

// Runs statements (DDL or DML) on the database and commits; nothing stays attached.
void execute_statements(const std::filesystem::path& file, const std::vector<std::u16string>& statements);

// Every row of a SELECT, each column as text; nothing stays attached.
std::vector<std::vector<std::u16string>> read_rows(const std::filesystem::path& file, std::u16string_view select);
