#pragma once

#include <exception>
#include <string>

// The program's ordinary failure. The message is the exact text that ends up
// in the result file or an error box, so it is kept as UTF-16; what() gives
// the same text in UTF-8 for logs and test output.
class Error : public std::exception {
public:
    explicit Error(std::u16string message);
    const std::u16string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    std::u16string message_;
    std::string utf8_;
};

// A text that does not read as a number under the integer or decimal rules.
class ConversionError : public Error {
public:
    using Error::Error;
};

// The message of any failure: an Error's own text, or what() of another
// exception (decoded from UTF-8).
std::u16string message_of(const std::exception& failure);
