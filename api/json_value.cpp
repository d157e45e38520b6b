#include "api/json_value.h"

#include "util/utf.h"

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>

#include <cstddef>
#include <iterator>

JsonValue JsonValue::null() { return JsonValue(); }

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
        if (member.first == key)
            return &member.second;
    return nullptr;
}

namespace {

using Utf16 = rapidjson::UTF16<char16_t>;

// A read-only RapidJSON stream over a view. It reports '\0' at the end; the
// caller checks afterwards that the reader really got there, so an embedded
// NUL cannot pass for the end of the text.
template <typename CharT>
class ViewStream {
public:
    using Ch = CharT;
    explicit ViewStream(std::basic_string_view<CharT> text) : text_(text) {}
    Ch Peek() const { return position_ < text_.size() ? text_[position_] : Ch(0); }
    Ch Take() { return position_ < text_.size() ? text_[position_++] : Ch(0); }
    std::size_t Tell() const { return position_; }
    bool at_end() const { return position_ == text_.size(); }
    std::basic_string_view<CharT> text() const { return text_; }

    // Writing is only for in-place parsing, which is not used.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

private:
    std::basic_string_view<CharT> text_;
    std::size_t position_ = 0;
};

// Builds a JsonValue from the reader's events. Numbers arrive only as raw
// characters; the reader's converted number events are refused, as is
// nesting deeper than max_json_nesting.
template <typename SourceChar>
class ValueBuilder {
public:
    using Ch = char16_t;

    explicit ValueBuilder(const ViewStream<SourceChar>& stream) : stream_(stream) {}

    bool Null() { return add(JsonValue::null()); }
    bool Bool(bool b) { return add(JsonValue::boolean(b)); }
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(std::int64_t) { return false; }
    bool Uint64(std::uint64_t) { return false; }
    bool Double(double) { return false; }
    // The characters handed over here are garbled by the reader when it
    // widens them to UTF-16, so the lexeme is taken from the body itself:
    // the stream stands just after it, and no character that can precede a
    // number can belong to one.
    bool RawNumber(const Ch*, rapidjson::SizeType, bool)
    {
        const std::size_t end = stream_.Tell();
        std::size_t start = end;
        while (start > 0 && is_number_character(stream_.text()[start - 1]))
            --start;
        std::u16string lexeme(end - start, u'0');
        for (std::size_t i = 0; i < lexeme.size(); ++i)
            lexeme[i] = static_cast<char16_t>(stream_.text()[start + i]);
        return add(JsonValue::number(std::move(lexeme)));
    }
    bool String(const Ch* str, rapidjson::SizeType length, bool)
    {
        return add(JsonValue::string(std::u16string(str, length)));
    }
    bool StartObject() { return open(true); }
    bool Key(const Ch* str, rapidjson::SizeType length, bool)
    {
        frames_[depth_ - 1].key.assign(str, length);
        return true;
    }
    bool EndObject(rapidjson::SizeType)
    {
        Frame& frame = frames_[--depth_];
        JsonValue value = JsonValue::object(take_exact(frame.members));
        return add(std::move(value));
    }
    bool StartArray() { return open(false); }
    bool EndArray(rapidjson::SizeType)
    {
        Frame& frame = frames_[--depth_];
        JsonValue value = JsonValue::array(take_exact(frame.elements));
        return add(std::move(value));
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

    template <typename T>
    static std::vector<T> take_exact(std::vector<T>& scratch)
    {
        std::vector<T> items(std::make_move_iterator(scratch.begin()), std::make_move_iterator(scratch.end()));
        scratch.clear();
        return items;
    }

    bool open(bool is_object)
    {
        if (depth_ >= static_cast<std::size_t>(max_json_nesting))
            return false;
        if (depth_ == frames_.size())
            frames_.emplace_back();
        frames_[depth_++].is_object = is_object;
        return true;
    }

    bool add(JsonValue value)
    {
        if (depth_ == 0) {
            result_ = std::move(value);
            return true;
        }
        Frame& top = frames_[depth_ - 1];
        if (top.is_object)
            top.members.emplace_back(std::move(top.key), std::move(value));
        else
            top.elements.push_back(std::move(value));
        return true;
    }

    static bool is_number_character(SourceChar c)
    {
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
    }

    const ViewStream<SourceChar>& stream_;
    std::vector<Frame> frames_;
    std::size_t depth_ = 0;
    std::optional<JsonValue> result_;
};

// Strict JSON: no comments, no trailing commas, one value and then only
// white space; numbers handed over as their characters.
constexpr unsigned parse_flags = rapidjson::kParseNumbersAsStringsFlag;

template <typename SourceEncoding, typename CharT>
std::optional<JsonValue> parse(std::basic_string_view<CharT> text)
{
    ViewStream<CharT> stream(text);
    ValueBuilder<CharT> builder(stream);
    rapidjson::GenericReader<SourceEncoding, Utf16> reader;
    if (reader.template Parse<parse_flags>(stream, builder).IsError() || !stream.at_end())
        return std::nullopt;
    return builder.take_result();
}

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF) decodes the same in every decoder, so only such text takes the
// direct road.
bool is_well_formed_utf8(std::string_view bytes)
{
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high)
            return false;
        for (std::size_t k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < 0x80 || next > 0xBF)
                return false;
        }
        i += length;
    }
    return true;
}

void append_string(std::u16string& out, const std::u16string& text)
{
    out += u'"';
    for (char16_t c : text) {
        switch (c) {
        case u'"': out += u"\\\""; break;
        case u'\\': out += u"\\\\"; break;
        case u'/': out += u"\\/"; break;
        case u'\b': out += u"\\b"; break;
        case u'\f': out += u"\\f"; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        case u'\t': out += u"\\t"; break;
        default: out += c;
        }
    }
    out += u'"';
}

void append_value(std::u16string& out, const JsonValue& value)
{
    switch (value.kind()) {
    case JsonValue::Kind::Null: out += u"null"; break;
    case JsonValue::Kind::False: out += u"false"; break;
    case JsonValue::Kind::True: out += u"true"; break;
    case JsonValue::Kind::Number: out += value.text(); break;
    case JsonValue::Kind::String: append_string(out, value.text()); break;
    case JsonValue::Kind::Array: {
        out += u'[';
        bool first = true;
        for (const JsonValue& element : value.elements()) {
            if (!first)
                out += u',';
            first = false;
            append_value(out, element);
        }
        out += u']';
        break;
    }
    case JsonValue::Kind::Object: {
        out += u'{';
        bool first = true;
        for (const JsonValue::Member& member : value.members()) {
            if (!first)
                out += u',';
            first = false;
            append_string(out, member.first);
            out += u':';
            append_value(out, member.second);
        }
        out += u'}';
        break;
    }
    }
}

}  // namespace

std::optional<JsonValue> read_json(std::u16string_view text)
{
    return parse<Utf16>(text);
}

std::optional<JsonValue> read_json_utf8(std::string_view utf8)
{
    if (!is_well_formed_utf8(utf8))
        return read_json(utf8_to_utf16(utf8));
    return parse<rapidjson::UTF8<char>>(utf8);
}

std::u16string compact_json_text(const JsonValue& value)
{
    std::u16string out;
    append_value(out, value);
    return out;
}
