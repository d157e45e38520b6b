#include "api/http_rest_response.h"

#include "api/http_body_text.h"
#include "util/error.h"

void RestResponse::assign(HttpResult result)
{
    result_ = std::move(result);
    json_.reset();
    for (const auto& listener : listeners_) listener();
}

void RestResponse::on_new_answer(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

std::u16string RestResponse::Content() const { return decode_body_text(result_.body, ContentType()); }

const JsonValue* RestResponse::json_value() const
{
    if (!json_) {
        const std::string content_type = ContentType();
        json_ = body_is_utf8(content_type) ? read_json_utf8(without_utf8_bom(result_.body))
                                           : read_json(decode_body_text(result_.body, content_type));
    }
    return *json_ ? &**json_ : nullptr;
}

std::u16string RestResponse::compact_text() const
{
    if (empty()) throw Error(u"Response content is empty");
    const JsonValue* value = json_value();
    if (!value) throw Error(u"Response content is not valid JSON");
    return compact_json_text(*value);
}
