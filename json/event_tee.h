#pragma once

#include "json/reader.h"

// Hands every event to two readers in turn, so that one pass over a body
// serves both.
class JsonEventTee : public JsonEvents {
public:
    JsonEventTee(JsonEvents& first, JsonEvents& second) : first_(first), second_(second) { }

    void null() override { first_.null(), second_.null(); }
    void boolean(bool value) override { first_.boolean(value), second_.boolean(value); }
    void number(std::u16string_view lexeme) override { first_.number(lexeme), second_.number(lexeme); }
    void string(std::u16string_view text) override { first_.string(text), second_.string(text); }
    void start_object() override { first_.start_object(), second_.start_object(); }
    void key(std::u16string_view name) override { first_.key(name), second_.key(name); }
    void end_object() override { first_.end_object(), second_.end_object(); }
    void start_array() override { first_.start_array(), second_.start_array(); }
    void end_array() override { first_.end_array(), second_.end_array(); }

private:
    JsonEvents& first_;
    JsonEvents& second_;
};
