#include "json/value.h"

#include "json/compact_writer.h"

#include <cstddef>
#include <iterator>

JsonValue JsonValue::null()
{
    return JsonValue();
}

JsonValue JsonValue::boolean(bool value)
{
    JsonValue v;
    v.kind_ = value ? Kind::True : Kind::False;
    return v;
}

JsonValue JsonValue::number(std::u16string lexeme)
{
    JsonValue v;
    v.kind_ = Kind::Number;
    v.text_ = std::move(lexeme);
    return v;
}

JsonValue JsonValue::string(std::u16string text)
{
    JsonValue v;
    v.kind_ = Kind::String;
    v.text_ = std::move(text);
    return v;
}

JsonValue JsonValue::array(std::vector<JsonValue> elements)
{
    JsonValue v;
    v.kind_ = Kind::Array;
    v.elements_ = std::move(elements);
    return v;
}

JsonValue JsonValue::object(std::vector<Member> members)
{
    JsonValue v;
    v.kind_ = Kind::Object;
    v.members_ = std::move(members);
    return v;
}

const JsonValue* JsonValue::find_member(std::u16string_view key) const
{
    for (const Member& member : members_)
        if (member.first == key) return &member.second;
    return nullptr;
}

namespace {

// Builds a JsonValue from a reader's events.
class ValueBuilder : public JsonEvents {
public:
    void null() override { add(JsonValue::null()); }
    void boolean(bool value) override { add(JsonValue::boolean(value)); }
    void number(std::u16string_view lexeme) override { add(JsonValue::number(std::u16string(lexeme))); }
    void string(std::u16string_view text) override { add(JsonValue::string(std::u16string(text))); }
    void start_object() override { open(true); }
    void key(std::u16string_view name) override { frames_[depth_ - 1].key.assign(name); }
    void end_object() override
    {
        Frame& frame = frames_[--depth_];
        add(JsonValue::object(take_exact(frame.members)));
    }
    void start_array() override { open(false); }
    void end_array() override
    {
        Frame& frame = frames_[--depth_];
        add(JsonValue::array(take_exact(frame.elements)));
    }

    std::optional<JsonValue> take_result() { return std::move(result_); }

private:
    // One frame per nesting level, kept between containers so that its
    // vectors grow once per level instead of once per object or array.
    struct Frame {
        bool is_object = false;
        std::u16string key;
        std::vector<JsonValue> elements;
        std::vector<JsonValue::Member> members;
    };

    template <typename T> static std::vector<T> take_exact(std::vector<T>& scratch)
    {
        std::vector<T> items(std::make_move_iterator(scratch.begin()), std::make_move_iterator(scratch.end()));
        scratch.clear();
        return items;
    }

    void open(bool is_object)
    {
        if (depth_ == frames_.size()) frames_.emplace_back();
        frames_[depth_++].is_object = is_object;
    }

    void add(JsonValue value)
    {
        if (depth_ == 0) {
            result_ = std::move(value);
            return;
        }
        Frame& top = frames_[depth_ - 1];
        if (top.is_object)
            top.members.emplace_back(std::move(top.key), std::move(value));
        else
            top.elements.push_back(std::move(value));
    }

    std::vector<Frame> frames_;
    std::size_t depth_ = 0;
    std::optional<JsonValue> result_;
};

template <typename Text> std::optional<JsonValue> build(Text text, bool (*read)(Text, JsonEvents&))
{
    ValueBuilder builder;
    if (!read(text, builder)) return std::nullopt;
    return builder.take_result();
}

void report_value(const JsonValue& value, JsonEvents& events)
{
    switch (value.kind()) {
    case JsonValue::Kind::Null: events.null(); break;
    case JsonValue::Kind::False: events.boolean(false); break;
    case JsonValue::Kind::True: events.boolean(true); break;
    case JsonValue::Kind::Number: events.number(value.text()); break;
    case JsonValue::Kind::String: events.string(value.text()); break;
    case JsonValue::Kind::Array:
        events.start_array();
        for (const JsonValue& element : value.elements()) report_value(element, events);
        events.end_array();
        break;
    case JsonValue::Kind::Object:
        events.start_object();
        for (const JsonValue::Member& member : value.members()) {
            events.key(member.first);
            report_value(member.second, events);
        }
        events.end_object();
        break;
    }
}

}  // namespace

std::optional<JsonValue> read_json(std::u16string_view text)
{
    return build<std::u16string_view>(text, read_json_events);
}

std::optional<JsonValue> read_json_utf8(std::string_view utf8)
{
    return build<std::string_view>(utf8, read_json_events_utf8);
}

std::u16string compact_json_text(const JsonValue& value)
{
    std::u16string out;
    CompactJsonWriter writer(out);
    report_value(value, writer);
    return out;
}
