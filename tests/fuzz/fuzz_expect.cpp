#include "fuzz_targets.h"

#include "util/utf.h"

void fuzz_expect(bool holds, const char* what)
{
    if (!holds) throw FuzzFinding(what);
}

void fuzz_expect(bool holds, const char* what, std::u16string_view about)
{
    if (!holds) throw FuzzFinding(std::string(what) + ": " + utf16_to_utf8(about));
}
