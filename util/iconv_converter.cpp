#include "util/iconv_converter.h"

#include "util/error.h"
#include "util/utf.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace {

constexpr const char* native_utf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

const iconv_t invalid_descriptor = reinterpret_cast<iconv_t>(-1);

// Owns one iconv conversion descriptor.
class IconvDescriptor {
public:
    IconvDescriptor(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str()))
    {
        if (cd_ == invalid_descriptor)
            throw Error(u"Cannot convert from '" + utf8_to_utf16(from) + u"' to '" + utf8_to_utf16(to) + u"': " +
                        utf8_to_utf16(std::generic_category().message(errno)));
    }
    ~IconvDescriptor() { iconv_close(cd_); }
    IconvDescriptor(const IconvDescriptor&) = delete;
    IconvDescriptor& operator=(const IconvDescriptor&) = delete;

    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Runs the whole input through the descriptor. On input it cannot take,
// skip_invalid says how many bytes to drop and what to write instead.
template <typename SkipInvalid>
std::string convert(const IconvDescriptor& cd, std::string_view input, SkipInvalid skip_invalid)
{
    std::string out(input.size() * 2 + 16, '\0');
    char* in_ptr = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    std::size_t produced = 0;
    bool flushing = false;
    for (;;) {
        char* out_ptr = out.data() + produced;
        std::size_t out_left = out.size() - produced;
        const std::size_t rc = flushing ? iconv(cd.get(), nullptr, nullptr, &out_ptr, &out_left)
                                        : iconv(cd.get(), &in_ptr, &in_left, &out_ptr, &out_left);
        const int error = errno;
        produced = out.size() - out_left;
        if (rc != static_cast<std::size_t>(-1)) {
            if (flushing) break;
            flushing = true;  // write any closing shift sequence
            continue;
        }
        if (error == E2BIG) {
            out.resize(out.size() * 2);
        } else if (!flushing && (error == EILSEQ || error == EINVAL)) {
            const auto [skip, replacement] = skip_invalid(std::string_view(in_ptr, in_left));
            if (skip == 0) break;
            in_ptr += skip;
            in_left -= skip;
            if (out.size() - produced < replacement.size()) out.resize(out.size() * 2 + replacement.size());
            std::memcpy(out.data() + produced, replacement.data(), replacement.size());
            produced += replacement.size();
        } else {
            break;  // nothing sensible left to do; keep what was converted
        }
    }
    out.resize(produced);
    return out;
}

std::string_view as_bytes(std::u16string_view text)
{
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

bool starts_with_surrogate_pair(std::string_view utf16_bytes)
{
    if (utf16_bytes.size() < 4) return false;
    char16_t units[2];
    std::memcpy(units, utf16_bytes.data(), sizeof units);
    return units[0] >= 0xD800 && units[0] <= 0xDBFF && units[1] >= 0xDC00 && units[1] <= 0xDFFF;
}

}  // namespace

bool iconv_supports(const std::string& code_page)
{
    const iconv_t cd = iconv_open(code_page.c_str(), native_utf16);
    if (cd == invalid_descriptor) return false;
    iconv_close(cd);
    return true;
}

std::string iconv_encode(const std::string& code_page, std::u16string_view text)
{
    // Only characters the code page lacks are transliterated, one at a time,
    // so that a transliteration to a quote (’ to ') can be refused: SQL text
    // is quoted before it is encoded.
    const IconvDescriptor cd(code_page, native_utf16);
    std::unique_ptr<IconvDescriptor> transliteration;
    std::string replacement;
    return convert(cd, as_bytes(text), [&](std::string_view rest) {
        const std::size_t skip = starts_with_surrogate_pair(rest) ? 4 : std::min<std::size_t>(2, rest.size());
        if (!transliteration)
            transliteration = std::make_unique<IconvDescriptor>(code_page + "//TRANSLIT", native_utf16);
        iconv(transliteration->get(), nullptr, nullptr, nullptr, nullptr);
        std::string fit = convert(*transliteration, rest.substr(0, skip),
                                  [](std::string_view) { return std::pair<std::size_t, std::string_view>(0, ""); });
        // The 8-bit code pages all keep ASCII, so "?" is always there.
        if (fit.empty() || fit.find_first_of("'\"") != std::string::npos) fit.assign(1, '?');
        replacement = std::move(fit);
        return std::pair<std::size_t, std::string_view>(skip, replacement);
    });
}

std::u16string iconv_decode(const std::string& code_page, std::string_view bytes)
{
    const IconvDescriptor cd(native_utf16, code_page);
    static constexpr char16_t replacement = 0xFFFD;
    const std::string_view replacement_bytes(reinterpret_cast<const char*>(&replacement), sizeof replacement);
    const std::string utf16_bytes = convert(
        cd, bytes, [&](std::string_view) { return std::pair<std::size_t, std::string_view>(1, replacement_bytes); });
    std::u16string out(utf16_bytes.size() / sizeof(char16_t), u'\0');
    std::memcpy(out.data(), utf16_bytes.data(), out.size() * sizeof(char16_t));
    return out;
}
