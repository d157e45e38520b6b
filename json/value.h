#pragma once

#include "json/reader.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One JSON value as the web service sent it. Numbers keep the characters
// they had in the body, object members keep their order and duplicates, so
// writing a value back gives the text the response checker expects.
class JsonValue {
public:
    enum class Kind { Null, False, True, Number, String, Array, Object };
    using Member = std::pair<std::u16string, JsonValue>;

    JsonValue() = default;  // null

    static JsonValue null();
    static JsonValue boolean(bool value);
    static JsonValue number(std::u16string lexeme);
    static JsonValue string(std::u16string text);
    static JsonValue array(std::vector<JsonValue> elements);
    static JsonValue object(std::vector<Member> members);

    Kind kind() const { return kind_; }
    bool is_object() const { return kind_ == Kind::Object; }
    bool is_array() const { return kind_ == Kind::Array; }
    const std::u16string& text() const { return text_; }  // string (decoded) or number lexeme
    const std::vector<JsonValue>& elements() const { return elements_; }  // array
    const std::vector<Member>& members() const { return members_; }  // object, received order, duplicates kept

    // The value of the first member whose key is exactly `key`, or null
    // when this is no object or has no such member.
    const JsonValue* find_member(std::u16string_view key) const;

private:
    Kind kind_ = Kind::Null;
    std::u16string text_;
    std::vector<JsonValue> elements_;
    std::vector<Member> members_;
};

// The decoded body text read as one JSON value of any kind; empty or invalid
// text gives no value. A large page is better read by streaming its events
// (json_reader.h) than as a tree.
std::optional<JsonValue> read_json(std::u16string_view text);
// The same, straight from UTF-8 bytes (malformed sequences read as U+FFFD,
// as the UTF-8 decoder of the body does).
std::optional<JsonValue> read_json_utf8(std::string_view utf8);

// The one textual form of a value: no white space, numbers as received,
// strings escaping only " \ / and \b \f \n \r \t.
std::u16string compact_json_text(const JsonValue& value);
