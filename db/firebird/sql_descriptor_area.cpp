#include "db/firebird/sql_descriptor_area.h"

#include <algorithm>
#include <new>

#include "util/ansi_codepage.h"
#include "util/ascii_text.h"

namespace {

XSQLDA* allocate_area(short capacity)
{
    auto* area = static_cast<XSQLDA*>(::operator new(XSQLDA_LENGTH(capacity)));
    std::fill_n(reinterpret_cast<unsigned char*>(area), XSQLDA_LENGTH(capacity), 0);
    area->version = SQLDA_VERSION1;
    area->sqln = capacity;
    return area;
}

// Bytes a column needs: a VARCHAR carries its 2-byte length before the text.
std::size_t buffer_size(const XSQLVAR& column)
{
    std::size_t size = static_cast<unsigned short>(column.sqllen);
    if ((column.sqltype & ~1) == SQL_VARYING) size += sizeof(short);
    return size;
}

}  // namespace

SqlDescriptorArea::SqlDescriptorArea(short capacity) : area_(allocate_area(std::max<short>(capacity, 1))) { }

void SqlDescriptorArea::grow(short n)
{
    if (n > capacity()) area_.reset(allocate_area(n));
}

void SqlDescriptorArea::bind_columns(const AnsiCodePage& code_page)
{
    code_page_ = &code_page;
    const short n = count();
    std::size_t total = 0;
    for (short i = 0; i < n; ++i) total += (buffer_size(area_->sqlvar[i]) + sizeof(double) - 1) / sizeof(double);
    if (row_.size() < total) row_.resize(total);
    if (null_flags_.size() < static_cast<std::size_t>(n)) null_flags_.resize(n);
    names_.resize(n);

    double* next = row_.data();
    for (short i = 0; i < n; ++i) {
        XSQLVAR& column = area_->sqlvar[i];
        column.sqldata = reinterpret_cast<ISC_SCHAR*>(next);
        column.sqlind = &null_flags_[i];
        next += (buffer_size(column) + sizeof(double) - 1) / sizeof(double);
        auto length = std::clamp<short>(column.aliasname_length, 0, sizeof column.aliasname);
        names_[i] = code_page.decode(std::string_view(column.aliasname, length));
    }
}

void SqlDescriptorArea::bind_text_parameter(int index, const char* data, std::size_t size, bool is_null,
                                            short character_set)
{
    if (null_flags_.size() < static_cast<std::size_t>(count())) null_flags_.resize(count());
    XSQLVAR& marker = area_->sqlvar[index];
    marker.sqltype = SQL_TEXT | 1;  // the low bit: the null flag is read
    marker.sqlsubtype = character_set;
    marker.sqlscale = 0;
    marker.sqllen = static_cast<ISC_SHORT>(size);
    marker.sqldata = const_cast<ISC_SCHAR*>(data);
    null_flags_[index] = is_null ? -1 : 0;
    marker.sqlind = &null_flags_[index];
}

int SqlDescriptorArea::find(std::u16string_view name) const
{
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (equal_ignoring_ascii_case(names_[i], name)) return static_cast<int>(i);
    }
    return -1;
}
