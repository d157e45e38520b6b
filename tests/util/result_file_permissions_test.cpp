#include "util/result_file.h"

#include "util/ansi_codepage.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(WriteResultFile, CreatesTheFileWithPermissionsTheUmaskAllows)
{
    const TempDir dir;
    const auto file = dir.path() / "ConfigImporta.ret";
    const mode_t mask = umask(022);
    write_result_file(file, u"x", AnsiCodePage::windows1252());
    umask(mask);
    struct stat info { };
    ASSERT_EQ(0, stat(file.c_str(), &info));
    EXPECT_EQ(0644u, info.st_mode & 0777);
}

}  // namespace
