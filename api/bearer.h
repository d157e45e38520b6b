#pragma once

#include <optional>
#include <string>
#include <string_view>

// The Authorization header's value for a token; a page's control record
// carries the same text as its nome.
std::u16string bearer_of(std::u16string_view token);

// The token a text names the way bearer_of writes it; nothing for any other
// text.
std::optional<std::u16string_view> token_of_bearer(std::u16string_view text);
