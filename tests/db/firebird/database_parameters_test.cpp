#include "db/firebird/database_parameters.h"

#include <gtest/gtest.h>

#include "util/error.h"

namespace {

TEST(DatabaseParameters, BufferIsVersionThenCodeLengthValuePerLine)
{
    const std::string expected = std::string{1, 28, 6} + "SYSDBA" + std::string{29, 9} + "plumbdoor";
    EXPECT_EQ(expected, database_parameter_buffer({u"user_name=SYSDBA", u"password=plumbdoor"}));
    EXPECT_EQ(expected, database_parameter_buffer({u" ISC_DPB_USER_NAME =SYSDBA", u"Password=plumbdoor"}));
    EXPECT_EQ(std::string(1, '\x01'), database_parameter_buffer({}));
    EXPECT_EQ((std::string{1, 48, 7} + "WIN1252"), database_parameter_buffer({u"lc_ctype=WIN1252"}));
}

TEST(DatabaseParameters, RejectsWhatItCannotSend)
{
    EXPECT_THROW(database_parameter_buffer({u"sql_role_name=R"}), Error);
    EXPECT_THROW(database_parameter_buffer({u"password=" + std::u16string(256, u'x')}), Error);
    EXPECT_NO_THROW(database_parameter_buffer({u"password=" + std::u16string(255, u'x')}));
}

}  // namespace
