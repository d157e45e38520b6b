#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

// The program's 8-bit "ANSI" code page, used for the result file and for all
// database text. On Linux the locale's codeset decides (LC_ALL / LC_CTYPE /
// LANG of the environment, read without touching the process locale):
// UTF-8 stays UTF-8, C/POSIX (ASCII) means Windows-1252, anything else is
// used as it is through iconv.
class AnsiCodePage {
public:
    static const AnsiCodePage& system();
    static AnsiCodePage windows1252();
    static AnsiCodePage utf8();
    // Throws Error when iconv knows no such code page.
    static AnsiCodePage named(const std::string& iconv_name);

    bool is_utf8() const { return utf8_; }
    const std::string& name() const { return name_; }

    // Characters the code page lacks become its best fit or "?"; never a
    // quote (' or "), so text quoted for SQL keeps its literals when encoded.
    std::string encode(std::u16string_view text) const;
    std::u16string decode(std::string_view bytes) const;
    // The longest prefix of whole characters whose encoding takes at most
    // max_bytes: what fits a column that counts bytes.
    std::u16string longest_prefix_within(std::u16string_view text, std::size_t max_bytes) const;

private:
    enum class Kind { utf8, windows1252, iconv };
    AnsiCodePage(std::string name, Kind kind) : name_(std::move(name)), utf8_(kind == Kind::utf8), kind_(kind) { }
    std::string name_;
    bool utf8_;
    Kind kind_;
};
