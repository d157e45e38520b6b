// Every corpus input runs through its target in the ordinary test build, so
// an input that once found a fault keeps guarding its fix without a fuzzer.
#include "fuzz_targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

void replay_corpus(const std::string& name, Target target)
{
    const std::filesystem::path directory = std::filesystem::path(FUZZ_CORPUS_DIR) / name;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.is_regular_file()) files.push_back(entry.path());
    ASSERT_FALSE(files.empty()) << directory;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& finding) {
            ADD_FAILURE() << file.filename() << ": " << finding.what();
        }
    }
}

TEST(FuzzCorpus, PageBody)
{
    replay_corpus("page_body", fuzz_page_body);
}

TEST(FuzzCorpus, RequestFile)
{
    replay_corpus("request_file", fuzz_request_file);
}

TEST(FuzzCorpus, NumberRules)
{
    replay_corpus("number_rules", fuzz_number_rules);
}

TEST(FuzzCorpus, SqlTexts)
{
    replay_corpus("sql_texts", fuzz_sql_texts);
}

}  // namespace
