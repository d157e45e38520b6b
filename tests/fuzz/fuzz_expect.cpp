#include "fuzz_targets.h"

void fuzz_expect(bool holds, const std::string& what)
{
    if (!holds) throw FuzzFinding(what);
}
