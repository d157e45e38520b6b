// The libFuzzer entry point of one target, named by FUZZ_TARGET_FUNCTION.
#include "fuzz_targets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        return FUZZ_TARGET_FUNCTION(data, size);
    } catch (const std::exception& finding) {
        // Any escaping exception is a finding: report it, then crash so the
        // fuzzer keeps the input.
        std::fprintf(stderr, "fuzz finding: %s\n", finding.what());
        std::abort();
    }
}
