#include "util/error.h"

#include "util/utf.h"

Error::Error(std::u16string message) : message_(std::move(message)), utf8_(utf16_to_utf8(message_)) { }

std::u16string message_of(const std::exception& failure)
{
    if (const auto* error = dynamic_cast<const Error*>(&failure)) return error->message();
    return utf8_to_utf16(failure.what());
}
