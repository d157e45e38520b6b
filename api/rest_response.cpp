#include "api/rest_response.h"

#include "http/body_text.h"
#include "util/error.h"
#include "json/compact_writer.h"
#include "json/event_tee.h"
#include "json/reader.h"

#include <utility>

void RestResponse::assign(HttpResult result)
{
    result_ = std::move(result);
    compact_text_.reset();
    for (const auto& listener : listeners_) listener();
}

void RestResponse::on_new_answer(std::function<void()> listener)
{
    listeners_.push_back(std::move(listener));
}

bool RestResponse::read_body(JsonEvents& events) const
{
    const std::string content_type = ContentType();
    if (body_is_utf8(content_type)) return read_json_events_utf8(without_utf8_bom(result_.body), events);
    return read_json_events(decode_body_text(result_.body, content_type), events);
}

bool RestResponse::read_json(JsonEvents& events) const
{
    if (compact_text_) return read_body(events);
    std::u16string text;
    // Compact text is rarely longer than the body: reserved once.
    text.reserve(result_.body.size());
    CompactJsonWriter writer(text);
    JsonEventTee both(events, writer);
    if (!read_body(both)) return false;
    compact_text_ = std::move(text);
    return true;
}

std::u16string RestResponse::compact_text() const
{
    if (empty()) throw Error(u"Response content is empty");
    if (compact_text_) return *std::exchange(compact_text_, std::nullopt);
    std::u16string text;
    text.reserve(result_.body.size());
    CompactJsonWriter writer(text);
    if (!read_body(writer)) throw Error(u"Response content is not valid JSON");
    return text;
}
