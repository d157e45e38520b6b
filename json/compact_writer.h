#pragma once

#include "json/reader.h"

#include <cstddef>
#include <string>
#include <string_view>

// Writes the events it is given as compact JSON text: no white space,
// numbers as received, strings escaping only " \ / and \b \f \n \r \t.
// With a limit it stops writing once the text is that long (a table cell
// keeps no more anyway); the text may then end a little past the limit.
class CompactJsonWriter : public JsonEvents {
public:
    explicit CompactJsonWriter(std::u16string& out, std::size_t limit = std::u16string::npos);

    void null() override;
    void boolean(bool value) override;
    void number(std::u16string_view lexeme) override;
    void string(std::u16string_view text) override;
    void start_object() override;
    void key(std::u16string_view name) override;
    void end_object() override;
    void start_array() override;
    void end_array() override;

private:
    void value_separator();
    void put(std::u16string_view piece);
    void put_quoted(std::u16string_view text);
    bool full() const { return out_.size() >= limit_; }

    std::u16string& out_;
    std::size_t limit_;
    bool gentle_growth_;
    bool after_value_ = false;  // the next value or key needs a ","
};
