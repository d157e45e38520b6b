#include "api/bearer.h"

namespace {

constexpr std::u16string_view bearer_prefix = u"Bearer ";

}  // namespace

std::u16string bearer_of(std::u16string_view token)
{
    return std::u16string(bearer_prefix) + std::u16string(token);
}

std::optional<std::u16string_view> token_of_bearer(std::u16string_view text)
{
    if (!text.starts_with(bearer_prefix)) return std::nullopt;
    return text.substr(bearer_prefix.size());
}
