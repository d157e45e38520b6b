#pragma once

// Internal to db/: owner of one XSQLDA and of the row buffers its columns
// point into. The buffers are kept between statements and only grow, so a
// query reuses them for every text it runs.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/firebird/isc_api.h"
#include "util/ansi_codepage.h"

class SqlDescriptorArea {
public:
    explicit SqlDescriptorArea(short capacity);

    XSQLDA* get() { return area_.get(); }
    short capacity() const { return area_->sqln; }
    // Columns the server described (may exceed capacity until grown).
    short described() const { return area_->sqld; }
    short count() const { return std::min(area_->sqln, area_->sqld); }

    // Makes room for n columns; what was described before is lost.
    void grow(short n);
    // After a describe: points every column at its buffer and notes its
    // name; texts are read in the code page, which must outlive the binding.
    void bind_columns(const AnsiCodePage& code_page);
    const AnsiCodePage& code_page() const { return *code_page_; }

    // Input side: the marker at index sends `size` bytes at `data` as text
    // of the character set `character_set`, or NULL.
    void bind_text_parameter(int index, const char* data, std::size_t size, bool is_null, short character_set);

    const XSQLVAR& column(int index) const { return area_->sqlvar[index]; }
    // Index of the column whose name (the alias when there is one) equals
    // name in ASCII letters of any case; -1 when none does.
    int find(std::u16string_view name) const;

private:
    struct FreeArea {
        void operator()(XSQLDA* area) const { ::operator delete(area); }
    };
    std::unique_ptr<XSQLDA, FreeArea> area_;
    std::vector<std::u16string> names_;
    std::vector<double> row_;  // double: aligned for every column type
    std::vector<short> null_flags_;
    const AnsiCodePage* code_page_ = &AnsiCodePage::system();
};
