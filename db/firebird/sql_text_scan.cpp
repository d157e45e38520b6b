#include "db/firebird/sql_text_scan.h"

#include "util/error.h"

namespace {

[[noreturn]] void parse_error(std::u16string_view detail)
{
    throw Error(u"SQL Parse Error:\r\n\r\n" + std::u16string(detail));
}

}  // namespace

bool has_parameter_markers(std::u16string_view text)
{
    bool markers = false;
    std::size_t i = 0;
    while (i < text.size()) {
        char16_t c = text[i];
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside the literal is part of it: the scan
            // closes and at once reopens, which comes to the same.
            auto close = text.find(c, i + 1);
            if (close == std::u16string_view::npos) parse_error(u"EOF in string detected");
            i = close + 1;
        } else if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
            auto close = text.find(u"*/", i + 2);
            if (close == std::u16string_view::npos) parse_error(u"EOF in comment detected");
            i = close + 2;
        } else {
            if (c == u':' || c == u'?') markers = true;
            ++i;
        }
    }
    return markers;
}
