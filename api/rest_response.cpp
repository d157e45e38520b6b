#include "api/rest_response.h"

#include "http/body_text.h"
#include "util/error.h"
#include "json/compact_writer.h"
#include "json/reader.h"

void RestResponse::assign(HttpResult result)
{
    result_ = std::move(result);
    for (const auto& listener : listeners_) listener();
}

void RestResponse::on_new_answer(std::function<void()> listener)
{
    listeners_.push_back(std::move(listener));
}

bool RestResponse::read_json(JsonEvents& events) const
{
    const std::string content_type = ContentType();
    if (body_is_utf8(content_type)) return read_json_events_utf8(without_utf8_bom(result_.body), events);
    return read_json_events(decode_body_text(result_.body, content_type), events);
}

std::u16string RestResponse::compact_text() const
{
    if (empty()) throw Error(u"Response content is empty");
    std::u16string text;
    // Compact text is rarely longer than the body: reserved once.
    text.reserve(result_.body.size());
    CompactJsonWriter writer(text);
    if (!read_json(writer)) throw Error(u"Response content is not valid JSON");
    return text;
}
