#include "util/error.h"

#include "util/utf.h"

Error::Error(std::u16string message) : message_(std::move(message)), utf8_(utf16_to_utf8(message_)) {}
