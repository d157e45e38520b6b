#include "db/firebird/ib_query.h"

#include "db/firebird/attachment.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_transaction.h"
#include "db/firebird/sql_descriptor_area.h"
#include "db/firebird/sql_text_scan.h"
#include "util/ansi_codepage.h"
#include "util/error.h"

namespace {

// Enough for the tables this program reads; a wider result grows it once.
constexpr short initial_columns = 32;

bool returns_rows(int statement_type)
{
    return statement_type == isc_info_sql_stmt_select || statement_type == isc_info_sql_stmt_select_for_upd;
}

}  // namespace

IBQuery::IBQuery(IBDatabase& database, IBTransaction& transaction, std::u16string name)
    : attachment_(database.attachment()),
      statement_(attachment_->add_statement(transaction.handle())),
      name_(std::move(name))
{
}

IBQuery::~IBQuery()
{
    attachment_->drop_quietly(*statement_);
}

bool IBQuery::active() const
{
    return statement_->result != OpenResult::none;
}

bool IBQuery::prepared() const
{
    return statement_->handle != IscHandle{};
}

void IBQuery::replace_text(std::vector<std::u16string> lines)
{
    attachment_->drop(*statement_);
    lines_ = std::move(lines);
    parameters_described_ = false;
    parameter_values_.clear();
}

std::string IBQuery::statement_bytes() const
{
    std::u16string text;
    for (const auto& line : lines_) {
        text += line;
        text += u"\r\n";
    }
    has_parameter_markers(text);  // throws on an open literal or comment; markers are the server's to judge
    return attachment_->text_code_page().encode(text);
}

void IBQuery::check_connected() const
{
    if (!attachment_->attached()) throw Error(u"Cannot perform operation -- DB is not open");
    if (statement_->transaction->handle == IscHandle{}) throw Error(u"Transaction is not active");
}

void IBQuery::prepare()
{
    if (prepared()) return;
    if (lines_.empty()) throw Error(u"Empty query");
    const auto text = statement_bytes();
    check_connected();
    if (!columns_) columns_ = std::make_unique<SqlDescriptorArea>(initial_columns);

    try {
        attachment_->call(&IscApi::isc_dsql_alloc_statement2, attachment_->handle(), &statement_->handle);
    } catch (...) {
        statement_->handle = IscHandle{};
        throw;
    }
    try {
        // The output descriptor given here comes back described, which
        // spares a describe call for every SELECT that fits it.
        attachment_->call(&IscApi::isc_dsql_prepare, &statement_->transaction->handle, &statement_->handle,
                          static_cast<unsigned short>(0), text.c_str(),
                          static_cast<unsigned short>(attachment_->sql_dialect()), columns_->get());
        if (returns_rows(read_statement_type())) describe_columns();
    } catch (...) {
        attachment_->drop_quietly(*statement_);
        throw;
    }
}

int IBQuery::read_statement_type()
{
    const ISC_SCHAR items[] = {isc_info_sql_stmt_type};
    ISC_SCHAR answer[16] = {};
    attachment_->call(&IscApi::isc_dsql_sql_info, &statement_->handle, static_cast<short>(sizeof items), items,
                      static_cast<short>(sizeof answer), answer);
    return attachment_->info_value(answer, sizeof answer, isc_info_sql_stmt_type, 0);
}

void IBQuery::describe_columns()
{
    if (columns_->described() > columns_->capacity()) {
        columns_->grow(columns_->described());
        attachment_->call(&IscApi::isc_dsql_describe, &statement_->handle, static_cast<unsigned short>(SQLDA_VERSION1),
                          columns_->get());
    }
    columns_->bind_columns(attachment_->text_code_page());
}

// One execution with the bound parameters; the row, when asked for, comes
// back into the columns with it.
void IBQuery::run(bool row_into_columns)
{
    prepare();
    check_connected();
    attachment_->call(&IscApi::isc_dsql_execute2, &statement_->transaction->handle, &statement_->handle,
                      static_cast<unsigned short>(attachment_->sql_dialect()),
                      bind_parameters() ? parameters_->get() : nullptr, row_into_columns ? columns_->get() : nullptr);
}

void IBQuery::execute()
{
    if (lines_.empty()) throw Error(u"Empty SQL Statement");
    close();
    run(false);
}

void IBQuery::Open()
{
    if (active()) return;
    run(false);
    statement_->result = OpenResult::cursor;
    fetch();
}

void IBQuery::open_single_row()
{
    close();
    run(true);
    statement_->result = OpenResult::row;
    eof_ = false;
}

int IBQuery::parameter_count()
{
    describe_parameters();
    return static_cast<int>(parameter_values_.size());
}

void IBQuery::describe_parameters()
{
    prepare();
    if (parameters_described_) return;
    if (!parameters_) parameters_ = std::make_unique<SqlDescriptorArea>(initial_columns);
    const auto describe = [&] {
        attachment_->call(&IscApi::isc_dsql_describe_bind, &statement_->handle,
                          static_cast<unsigned short>(SQLDA_VERSION1), parameters_->get());
    };
    describe();
    if (parameters_->described() > parameters_->capacity()) {
        parameters_->grow(parameters_->described());
        describe();
    }
    parameter_values_.assign(static_cast<std::size_t>(parameters_->count()), std::nullopt);
    parameters_described_ = true;
}

void IBQuery::set_parameter(int index, std::optional<std::u16string_view> value)
{
    describe_parameters();
    if (index < 0 || index >= static_cast<int>(parameter_values_.size()))
        throw Error(name_ + u": Parameter index out of range");
    if (!value) {
        parameter_values_[index].reset();
        return;
    }
    std::string bytes = attachment_->text_code_page().encode(*value);
    // The longest text a descriptor can carry.
    if (bytes.size() > 32767) throw Error(name_ + u": Parameter value too long");
    parameter_values_[index] = std::move(bytes);
}

// Points the descriptor at the values as they stand now.
bool IBQuery::bind_parameters()
{
    if (!parameters_described_ || parameter_values_.empty()) return false;
    static char empty_text = 0;
    for (std::size_t i = 0; i < parameter_values_.size(); ++i) {
        auto& value = parameter_values_[i];
        parameters_->bind_text_parameter(static_cast<int>(i), value ? value->data() : &empty_text,
                                         value ? value->size() : 0, !value, attachment_->parameter_character_set());
    }
    return true;
}

void IBQuery::Next()
{
    check_open();
    if (statement_->result != OpenResult::cursor)
        eof_ = true;
    else if (!eof_)
        fetch();
}

void IBQuery::fetch()
{
    ISC_STATUS fetched = 0;
    try {
        fetched = attachment_->call(&IscApi::isc_dsql_fetch, &statement_->handle,
                                    static_cast<unsigned short>(SQLDA_VERSION1), columns_->get());
    } catch (...) {
        attachment_->close_cursor_quietly(*statement_);
        throw;
    }
    eof_ = fetched == 100;
}

void IBQuery::close()
{
    attachment_->close_cursor(*statement_);
}

void IBQuery::check_open() const
{
    if (!active()) throw Error(name_ + u": Cannot perform this operation on a closed dataset");
}

IBField IBQuery::FieldByName(std::u16string_view name) const
{
    check_open();
    const int index = columns_ ? columns_->find(name) : -1;
    if (index < 0) throw Error(name_ + u": Field '" + std::u16string(name) + u"' not found");
    return IBField(eof_ ? nullptr : columns_.get(), index);
}

int IBQuery::field_count() const
{
    check_open();
    return columns_->count();
}

IBField IBQuery::field(int index) const
{
    check_open();
    if (index < 0 || index >= columns_->count()) throw Error(name_ + u": Field index out of range");
    return IBField(eof_ ? nullptr : columns_.get(), index);
}
