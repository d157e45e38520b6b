#include "util/result_file.h"

#include "util/ansi_codepage.h"
#include "util/utf.h"

#include "support/failure_message.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> names_in(const std::filesystem::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteResultFile, WritesExactlyTheTextInTheCodePage)
{
    struct {
        const char* code_page;
        AnsiCodePage cp;
        std::string bytes;
    } cases[] = {
        {"1252", AnsiCodePage::windows1252(), "ERRO-Status: Servidor-API n\xE3o responde ("},
        {"UTF-8", AnsiCodePage::utf8(),
         "\xEF\xBB\xBF"
         "ERRO-Status: Servidor-API n\xC3\xA3o responde ("},
    };
    const TempDir dir;
    const auto file = dir.path() / "ConfigImporta.ret";
    for (const auto& c : cases) {
        write_result_file(file, u"ERRO-Status: Servidor-API n\u00E3o responde (", c.cp);
        EXPECT_EQ(c.bytes, read_file_bytes(file)) << c.code_page;
    }
    EXPECT_EQ(std::vector<std::string>{"ConfigImporta.ret"}, names_in(dir.path()));  // no temporary file left
}

TEST(WriteResultFile, ReplacesALongerFileAndKeepsLineBreaksOfTheText)
{
    const TempDir dir;
    const auto file = dir / "ConfigImporta.ret";
    write_file_bytes(file, std::string(500, 'x') + "\r\n");
    write_result_file(file, u"Importacao de dados Ok", AnsiCodePage::windows1252());
    EXPECT_EQ("Importacao de dados Ok", read_file_bytes(file));
    write_result_file(file, u"Erro de conexao com banco de dados Local...a\r\nb", AnsiCodePage::windows1252());
    EXPECT_EQ("Erro de conexao com banco de dados Local...a\r\nb", read_file_bytes(file));
}

TEST(WriteResultFile, FailsClearlyAndLeavesNothingBehind)
{
    const TempDir dir;
    std::filesystem::create_directory(dir.path() / "ConfigImporta.ret");
    const std::filesystem::path cases[] = {dir.path() / "missing" / "ConfigImporta.ret",
                                           dir.path() / "ConfigImporta.ret"};
    for (const auto& file : cases) {
        const auto message = utf16_to_utf8(
            failure_message([&] { write_result_file(file, u"Importacao de dados Ok", AnsiCodePage::windows1252()); }));
        EXPECT_NE(std::string::npos, message.find(file.string())) << message;
    }
    EXPECT_EQ(std::vector<std::string>{"ConfigImporta.ret"}, names_in(dir.path()));
}

}  // namespace
