#include "app/win32/application_title.h"
#include "util/shell_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellTexts, TitleIsTheFileNameBeforeItsFirstFullStop)
{
    struct {
        std::u16string file_name;
        std::u16string title;
    } cases[] = {
        {u"importador.exe", u"importador"},
        {u"IMPORTADOR.EXE", u"Importador"},
        {u"Price Loader.v2.exe", u"Price loader"},
        {u"\u00C9TICA.exe", u"\u00C9tica"},
        {u"x.exe", u"x"},
        {u".exe", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.title, application_title_from_file_name(c.file_name));
}

TEST(ShellTexts, TipHoldsAtMost127CharactersAndNeverHalfACharacter)
{
    const std::u16string exactly(127, u'a');
    EXPECT_EQ(exactly, tray_tip_text(exactly));
    EXPECT_EQ(exactly, tray_tip_text(exactly + u"b"));
    const std::u16string pair_across = std::u16string(126, u'a') + u"\U0001F600";
    EXPECT_EQ(std::u16string(126, u'a'), tray_tip_text(pair_across));
}

TEST(ShellTexts, ErrorBoxAppendsAFullStopUnlessTheMessageEndsLow)
{
    struct {
        std::u16string message;
        std::u16string text;
    } cases[] = {
        {u"Cannot write file", u"Cannot write file."},   {u"Done.", u"Done."},
        {u"ends with a blank ", u"ends with a blank "},  {u"ends with a hyphen-", u"ends with a hyphen-"},
        {u"ends with a slash/", u"ends with a slash/."}, {u"", u"."},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, error_box_text(c.message));
}

}  // namespace
