#pragma once

#include <string_view>

// What a JSON reader reports, in body order. Numbers come as the characters
// they had in the body; strings and keys with their escapes decoded. The
// views are valid only during the call.
class JsonEvents {
public:
    virtual ~JsonEvents() = default;
    virtual void null() = 0;
    virtual void boolean(bool value) = 0;
    virtual void number(std::u16string_view lexeme) = 0;
    virtual void string(std::u16string_view text) = 0;
    virtual void start_object() = 0;
    virtual void key(std::u16string_view name) = 0;
    virtual void end_object() = 0;
    virtual void start_array() = 0;
    virtual void end_array() = 0;
};

// Deeper nesting than this is refused as invalid: it keeps every recursive
// walk over a value (writer, destructor) off the end of the stack.
inline constexpr int max_json_nesting = 512;

// Reads one JSON value of any kind and nothing after it but white space,
// reporting it to `events`. False when the text is empty or no valid JSON;
// the events reported until the fault was found must then be discarded.
bool read_json_events(std::u16string_view text, JsonEvents& events);
// The same straight from UTF-8 bytes, without a UTF-16 copy of the whole
// text; malformed sequences read as U+FFFD, as the body's UTF-8 decoder does.
bool read_json_events_utf8(std::string_view utf8, JsonEvents& events);
