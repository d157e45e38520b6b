#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// One function per fuzz target, shared by the libFuzzer entry points and the
// corpus replay test, so a replayed input runs exactly the fuzzed code.
// Failures the code under test is allowed to report are caught inside; a
// broken promise throws FuzzFinding, which the fuzzer turns into a crash.
int fuzz_page_body(const std::uint8_t* data, std::size_t size);
int fuzz_request_file(const std::uint8_t* data, std::size_t size);
int fuzz_number_rules(const std::uint8_t* data, std::size_t size);
int fuzz_sql_texts(const std::uint8_t* data, std::size_t size);

class FuzzFinding : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Throws FuzzFinding with `what` (and the text it is about, if given) when
// `holds` is false; the message is only built then.
void fuzz_expect(bool holds, const char* what);
void fuzz_expect(bool holds, const char* what, std::u16string_view about);
