#include "sync/run_texts.h"

#include "util/utf.h"

#include <gtest/gtest.h>

namespace {

using Step = RunProgress::Step;

TEST(RunTexts, ProgressShowsWhatIsCommittedAndTheStepUnderWay)
{
    const ImportCounts twelve = {.pages = 12, .inserted = 5000, .updated = 1000, .skipped = 3};
    const struct {
        RunProgress progress;
        std::u16string expected;
    } cases[] = {
        {{Step::querying_service, 1, {}}, u"Consultando o serviço…"},
        {{Step::writing_page, 1, {}}, u"Gravando página 1…"},
        {{Step::page_committed, 1, {.pages = 1, .inserted = 1}}, u"Página 1 · 1 produto gravado · 0 ignorados"},
        {{Step::page_committed, 12, twelve}, u"Página 12 · 6.000 produtos gravados · 3 ignorados"},
        {{Step::querying_service, 13, twelve},
         u"Página 12 · 6.000 produtos gravados · 3 ignorados\nConsultando o serviço…"},
        {{Step::writing_page, 13, {.pages = 12, .updated = 1, .skipped = 1}},
         u"Página 12 · 1 produto gravado · 1 ignorado\nGravando página 13…"},
    };
    for (const auto& c : cases) EXPECT_EQ(utf16_to_utf8(c.expected), utf16_to_utf8(progress_text(c.progress)));
}

TEST(RunTexts, ThousandsAreGroupedWithFullStops)
{
    const struct {
        long long value;
        std::u16string expected;
    } cases[] = {{0, u"0"},
                 {999, u"999"},
                 {1000, u"1.000"},
                 {123456, u"123.456"},
                 {1234567, u"1.234.567"},
                 {-1000, u"-1.000"},
                 {-9223372036854775807LL - 1, u"-9.223.372.036.854.775.808"}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, grouped_integer_text(c.value)) << c.value;
}

// A list shows one line to an item: each line break shows once.
TEST(RunTexts, SkippedProductTakesOneLine)
{
    const struct {
        std::u16string reason;
        std::u16string line;
    } cases[] = {
        {u"string right truncation", u"7: string right truncation"},
        {u"overflow\r\ntruncation\r\nexpected length 5, actual 7",
         u"7: overflow; truncation; expected length 5, actual 7"},
        {u"a\nb", u"7: a; b"},
        {u"a\rb", u"7: a; b"},
        {u"a\n\r\nb", u"7: a; ; b"},
        {u"a\r\n", u"7: a; "},
        {u"", u"7: "},
    };
    for (const auto& c : cases) EXPECT_EQ(c.line, skipped_text({u"7", c.reason}));
}

TEST(RunTexts, TipKeepsTheTitleAndCutsTheProgressToTheTipLength)
{
    EXPECT_EQ(u"Importador", tray_tip_with_progress(u"Importador", u""));
    EXPECT_EQ(u"Importador\nGravando página 2…", tray_tip_with_progress(u"Importador", u"Gravando página 2…"));
    EXPECT_EQ(127u, tray_tip_with_progress(u"Importador", std::u16string(300, u'x')).size());
}

// Only a failed run, or one that skipped products, raises a notice; it
// always names the log, however long the outcome.
TEST(RunTexts, EndNoticeForFailuresAndSkipsOnly)
{
    EXPECT_FALSE(end_notice({u"Importacao de dados Ok", true, {.pages = 3, .inserted = 30}}));

    const auto skipped = end_notice({u"Importacao de dados Ok", true, {.pages = 3, .inserted = 30, .skipped = 1}});
    ASSERT_TRUE(skipped);
    EXPECT_FALSE(skipped->failed);
    EXPECT_EQ(u"Importacao de dados Ok\n1 produto ignorado. Detalhes em ConfigImporta.log", skipped->text);

    const auto failed = end_notice({u"ERRO: servico fora do ar", false, {.skipped = 2}});
    ASSERT_TRUE(failed);
    EXPECT_TRUE(failed->failed);
    EXPECT_EQ(u"ERRO: servico fora do ar\n2 produtos ignorados. Detalhes em ConfigImporta.log", failed->text);

    const std::u16string tail = u"\n0 produtos ignorados. Detalhes em ConfigImporta.log";
    const auto long_failure = end_notice({std::u16string(1000, u'e'), false, {}});
    ASSERT_TRUE(long_failure);
    EXPECT_EQ(255u, long_failure->text.size());
    EXPECT_TRUE(long_failure->text.ends_with(tail));
    for (const auto& notice : {*skipped, *failed}) EXPECT_LE(notice.title.size(), 63u);
}

}  // namespace
