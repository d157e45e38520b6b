#include "json/reader.h"

#include "util/utf.h"

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using Utf16 = rapidjson::UTF16<char16_t>;

bool is_number_character(char16_t c)
{
    return (c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'.' || c == u'e' || c == u'E';
}

bool is_digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// A character run [start, end) of the text that the reader is shown as
// something it takes. RapidJSON refuses two things JSON's grammar allows,
// and one of them must not refuse a whole page:
// - a number too large for a double: shown as "0.0…" of its own length,
//   while its characters are handed on from the text itself, so that only
//   its own cell fails;
// - an unpaired surrogate escape (a lone high one is refused, a lone low one
//   passed on as a bare code unit): shown as \uFFFD, like any malformed text.
struct Span {
    enum class As { zero, replacement_character };
    std::size_t start;
    std::size_t end;
    As as;

    template <typename CharT> CharT shown_at(std::size_t position) const
    {
        static constexpr char replacement_escape[] = "\\uFFFD";
        const std::size_t offset = position - start;
        if (as == As::replacement_character) return CharT(replacement_escape[offset]);
        return offset == 1 ? CharT('.') : CharT('0');
    }
};

// Whether `run` is a JSON number that RapidJSON refuses as too large for a
// double, or might: an exponent of three digits or more, or a whole part
// of 300 digits or more.
template <typename CharT> bool reader_may_refuse(std::basic_string_view<CharT> run)
{
    std::size_t i = run.starts_with(CharT('-')) ? 1 : 0;
    const auto digits = [&run, &i] {
        const std::size_t first = i;
        while (i < run.size() && is_digit(run[i])) ++i;
        return i - first;
    };
    const std::size_t whole_digits = digits();
    if (whole_digits == 0 || (whole_digits > 1 && run[i - whole_digits] == CharT('0'))) return false;
    if (i < run.size() && run[i] == CharT('.')) {
        ++i;
        if (digits() == 0) return false;
    }
    std::size_t exponent_digits = 0;
    if (i < run.size() && (run[i] == CharT('e') || run[i] == CharT('E'))) {
        ++i;
        if (i < run.size() && (run[i] == CharT('+') || run[i] == CharT('-'))) ++i;
        exponent_digits = digits();
        if (exponent_digits == 0) return false;
    }
    return i == run.size() && (exponent_digits >= 3 || whole_digits >= 300);
}

// Finds, in one pass and in text order, the spans the reader must be shown
// as something else.
template <typename CharT> class MaskScan {
public:
    explicit MaskScan(std::basic_string_view<CharT> text) : text_(text) { }

    std::vector<Span> spans() &&
    {
        for (std::size_t i = 0; i < text_.size();) {
            if (text_[i] == CharT('"')) i = past_string(i + 1);
            else if (text_[i] == CharT('-') || is_digit(text_[i])) i = past_number(i);
            else ++i;
        }
        return std::move(spans_);
    }

private:
    static constexpr std::size_t escape_length = 6;  // \uXXXX

    static bool is_high(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
    static bool is_low(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

    static int hex_digit(CharT c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::size_t past_number(std::size_t start)
    {
        std::size_t end = start;
        while (end < text_.size() && is_number_character(text_[end])) ++end;
        if (reader_may_refuse(text_.substr(start, end - start))) spans_.push_back({start, end, Span::As::zero});
        return end;
    }

    std::size_t past_string(std::size_t i)
    {
        while (i < text_.size() && text_[i] != CharT('"')) i = text_[i] == CharT('\\') ? past_escape(i) : i + 1;
        return i + 1;
    }

    // The code unit of the \uXXXX escape at `at`, if one stands there.
    std::optional<unsigned> unit_at(std::size_t at) const
    {
        if (at + escape_length > text_.size() || text_[at] != '\\' || text_[at + 1] != 'u') return std::nullopt;
        unsigned unit = 0;
        for (std::size_t i = at + 2; i < at + escape_length; ++i) {
            const int digit = hex_digit(text_[i]);
            if (digit < 0) return std::nullopt;
            unit = unit * 16 + static_cast<unsigned>(digit);
        }
        return unit;
    }

    std::size_t past_escape(std::size_t at)
    {
        const auto unit = unit_at(at);
        if (!unit) return at + 2;  // \\, \" and the like, or no escape the reader takes
        if (is_high(*unit)) {
            const auto next = unit_at(at + escape_length);
            if (next && is_low(*next)) return at + 2 * escape_length;
        }
        if (is_high(*unit) || is_low(*unit))
            spans_.push_back({at, at + escape_length, Span::As::replacement_character});
        return at + escape_length;
    }

    std::basic_string_view<CharT> text_;
    std::vector<Span> spans_;
};

// A read-only RapidJSON stream over a view. It reports '\0' at the end; the
// caller checks afterwards that the reader really got there, so an embedded
// NUL cannot pass for the end of the text. The masked spans read as what
// they are shown as.
template <typename CharT> class ViewStream {
public:
    using Ch = CharT;
    ViewStream(std::basic_string_view<CharT> text, std::vector<Span> masked) : text_(text), masked_(std::move(masked))
    {
    }
    Ch Peek() const
    {
        if (position_ >= text_.size()) return Ch(0);
        if (next_mask_ < masked_.size() && position_ >= masked_[next_mask_].start)
            return masked_[next_mask_].template shown_at<Ch>(position_);
        return text_[position_];
    }
    Ch Take()
    {
        const Ch c = Peek();
        if (position_ < text_.size()) ++position_;
        if (next_mask_ < masked_.size() && position_ == masked_[next_mask_].end) ++next_mask_;
        return c;
    }
    std::size_t Tell() const { return position_; }
    bool at_end() const { return position_ == text_.size(); }
    std::basic_string_view<CharT> text() const { return text_; }

    // Writing is only for in-place parsing, which is not used.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) { }
    void Flush() { }
    std::size_t PutEnd(Ch*) { return 0; }

private:
    std::basic_string_view<CharT> text_;
    std::size_t position_ = 0;
    std::vector<Span> masked_;
    std::size_t next_mask_ = 0;
};

// Passes the reader's events on. Numbers arrive only as raw characters; the
// reader's converted number events are refused, as is nesting deeper than
// max_json_nesting.
template <typename SourceChar> class EventRelay {
public:
    using Ch = char16_t;

    EventRelay(const ViewStream<SourceChar>& stream, JsonEvents& events) : stream_(stream), events_(events) { }

    bool Null() { return events_.null(), true; }
    bool Bool(bool b) { return events_.boolean(b), true; }
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(std::int64_t) { return false; }
    bool Uint64(std::uint64_t) { return false; }
    bool Double(double) { return false; }
    // The characters handed over here are garbled by the reader when it
    // widens them to UTF-16 (see ParseStackAllocator), so the lexeme is
    // taken from the body itself:
    // the stream stands just after it, and no character that can precede a
    // number can belong to one.
    bool RawNumber(const Ch*, rapidjson::SizeType, bool)
    {
        const std::size_t end = stream_.Tell();
        std::size_t start = end;
        while (start > 0 && is_number_character(stream_.text()[start - 1])) --start;
        events_.number(lexeme(start, end));
        return true;
    }
    bool String(const Ch* str, rapidjson::SizeType length, bool)
    {
        return events_.string(std::u16string_view(str, length)), true;
    }
    bool StartObject() { return open() && (events_.start_object(), true); }
    bool Key(const Ch* str, rapidjson::SizeType length, bool)
    {
        return events_.key(std::u16string_view(str, length)), true;
    }
    bool EndObject(rapidjson::SizeType) { return --depth_, events_.end_object(), true; }
    bool StartArray() { return open() && (events_.start_array(), true); }
    bool EndArray(rapidjson::SizeType) { return --depth_, events_.end_array(), true; }

private:
    bool open()
    {
        if (depth_ >= max_json_nesting) return false;
        ++depth_;
        return true;
    }

    std::u16string_view lexeme(std::size_t start, std::size_t end)
    {
        if constexpr (std::is_same_v<SourceChar, char16_t>) {
            return stream_.text().substr(start, end - start);
        } else {
            // A number is ASCII, so widening byte by byte is exact.
            lexeme_.assign(stream_.text().begin() + start, stream_.text().begin() + end);
            return lexeme_;
        }
    }

    const ViewStream<SourceChar>& stream_;
    JsonEvents& events_;
    int depth_ = 0;
    std::u16string lexeme_;
};

// The reader's stack memory. RapidJSON 1.1 widens a number's characters by
// reading them from its stack while it writes the result onto the same
// stack; when that write grows the stack, the reading went on in the block
// realloc had freed. Outgrown blocks are therefore kept until the parse ends.
class ParseStackAllocator {
public:
    ParseStackAllocator() = default;
    ~ParseStackAllocator()
    {
        for (void* block : outgrown_) std::free(block);
    }
    ParseStackAllocator(const ParseStackAllocator&) = delete;
    ParseStackAllocator& operator=(const ParseStackAllocator&) = delete;

    void* Malloc(std::size_t size) { return size ? std::malloc(size) : nullptr; }
    void* Realloc(void* old_block, std::size_t old_size, std::size_t new_size)
    {
        void* block = new_size ? std::malloc(new_size) : nullptr;
        if (new_size && !block) return nullptr;
        if (old_block) {
            if (block) std::memcpy(block, old_block, std::min(old_size, new_size));
            outgrown_.push_back(old_block);
        }
        return block;
    }
    static void Free(void* block) { std::free(block); }

private:
    std::vector<void*> outgrown_;
};

// Strict JSON: no comments, no trailing commas, one value and then only
// white space; numbers handed over as their characters.
constexpr unsigned parse_flags = rapidjson::kParseNumbersAsStringsFlag;

template <typename SourceEncoding, typename CharT> bool parse(std::basic_string_view<CharT> text, JsonEvents& events)
{
    ViewStream<CharT> stream(text, MaskScan<CharT>(text).spans());
    EventRelay<CharT> relay(stream, events);
    ParseStackAllocator stack_memory;  // outlives the reader
    rapidjson::GenericReader<SourceEncoding, Utf16, ParseStackAllocator> reader(&stack_memory);
    return !reader.template Parse<parse_flags>(stream, relay).IsError() && stream.at_end();
}

}  // namespace

bool read_json_events(std::u16string_view text, JsonEvents& events)
{
    return parse<Utf16>(text, events);
}

bool read_json_events_utf8(std::string_view utf8, JsonEvents& events)
{
    // Only text that every decoder reads alike takes the direct road.
    if (!is_well_formed_utf8(utf8)) return read_json_events(utf8_to_utf16(utf8), events);
    return parse<rapidjson::UTF8<char>>(utf8, events);
}
