#include "json/compact_writer.h"

#include <algorithm>

namespace {

// The two-character escape of a character that compact text escapes, or 0.
char16_t escape_letter(char16_t c)
{
    switch (c) {
    case u'"': return u'"';
    case u'\\': return u'\\';
    case u'/': return u'/';
    case u'\b': return u'b';
    case u'\f': return u'f';
    case u'\n': return u'n';
    case u'\r': return u'r';
    case u'\t': return u't';
    default: return 0;
    }
}

}  // namespace

CompactJsonWriter::CompactJsonWriter(std::u16string& out, std::size_t limit)
    : out_(out), limit_(limit), gentle_growth_(out.capacity() >= 4096)
{
}

void CompactJsonWriter::put(std::u16string_view piece)
{
    if (gentle_growth_ && out_.size() + piece.size() > out_.capacity()) {
        // Past a large reservation, grow by an eighth instead of doubling.
        std::u16string larger;
        larger.reserve(out_.capacity() + out_.capacity() / 8 + piece.size());
        larger.append(out_);
        out_.swap(larger);
    }
    out_.append(piece.substr(0, limit_ - std::min(limit_, out_.size())));
}

void CompactJsonWriter::put_quoted(std::u16string_view text)
{
    put(u"\"");
    std::size_t run_start = 0;
    for (std::size_t i = 0; i < text.size() && !full(); ++i) {
        const char16_t letter = escape_letter(text[i]);
        if (letter == 0) continue;
        put(text.substr(run_start, i - run_start));
        const char16_t escape[] = {u'\\', letter};
        put(std::u16string_view(escape, 2));
        run_start = i + 1;
    }
    put(text.substr(std::min(run_start, text.size())));
    put(u"\"");
}

void CompactJsonWriter::value_separator()
{
    if (after_value_) put(u",");
    after_value_ = true;
}

void CompactJsonWriter::null()
{
    value_separator();
    put(u"null");
}

void CompactJsonWriter::boolean(bool value)
{
    value_separator();
    put(value ? u"true" : u"false");
}

void CompactJsonWriter::number(std::u16string_view lexeme)
{
    value_separator();
    put(lexeme);
}

void CompactJsonWriter::string(std::u16string_view text)
{
    value_separator();
    if (!full()) put_quoted(text);
}

void CompactJsonWriter::start_object()
{
    value_separator();
    put(u"{");
    after_value_ = false;
}

void CompactJsonWriter::key(std::u16string_view name)
{
    value_separator();
    if (!full()) put_quoted(name);
    put(u":");
    after_value_ = false;
}

void CompactJsonWriter::end_object()
{
    put(u"}");
    after_value_ = true;
}

void CompactJsonWriter::start_array()
{
    value_separator();
    put(u"[");
    after_value_ = false;
}

void CompactJsonWriter::end_array()
{
    put(u"]");
    after_value_ = true;
}
