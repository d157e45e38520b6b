#include "db/firebird/ib_query.h"

#include <algorithm>

#include "db/firebird/ib_database.h"
#include "db/firebird/ib_transaction.h"
#include "db/firebird/sql_descriptor_area.h"
#include "db/firebird/sql_text_scan.h"
#include "db/firebird/status_vector.h"
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
    : database_(database), transaction_(transaction), name_(std::move(name))
{
    database_.queries_.push_back(this);
    transaction_.queries_.push_back(this);
}

IBQuery::~IBQuery()
{
    free_quietly();
    std::erase(transaction_.queries_, this);
    std::erase(database_.queries_, this);
}

void IBQuery::replace_text(std::vector<std::u16string> lines)
{
    release();
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
    return database_.text_code_page().encode(text);
}

void IBQuery::check_connected() const
{
    if (!database_.connected()) throw Error(u"Cannot perform operation -- DB is not open");
    if (!transaction_.active()) throw Error(u"Transaction is not active");
}

void IBQuery::prepare()
{
    if (prepared()) return;
    if (lines_.empty()) throw Error(u"Empty query");
    const auto text = statement_bytes();
    check_connected();
    if (!columns_) columns_ = std::make_unique<SqlDescriptorArea>(initial_columns);

    const auto& api = database_.api();
    StatusVector status;
    if (api.isc_dsql_alloc_statement2(status.get(), database_.handle(), &statement_)) {
        statement_ = IscHandle{};
        database_.raise(status);
    }
    try {
        // The output descriptor given here comes back described, which
        // spares a describe call for every SELECT that fits it.
        if (api.isc_dsql_prepare(status.get(), transaction_.handle(), &statement_, 0, text.c_str(),
                                 static_cast<unsigned short>(database_.sql_dialect()), columns_->get()))
            database_.raise(status);
        if (returns_rows(read_statement_type())) describe_columns();
    } catch (...) {
        free_quietly();
        throw;
    }
}

int IBQuery::read_statement_type()
{
    const auto& api = database_.api();
    const ISC_SCHAR items[] = {isc_info_sql_stmt_type};
    ISC_SCHAR answer[16] = {};
    StatusVector status;
    if (api.isc_dsql_sql_info(status.get(), &statement_, sizeof items, items, sizeof answer, answer))
        database_.raise(status);
    if (answer[0] != isc_info_sql_stmt_type) return 0;
    const auto length = static_cast<short>(api.isc_vax_integer(answer + 1, 2));
    if (length <= 0 || length > static_cast<short>(sizeof answer) - 3) return 0;
    return static_cast<int>(api.isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(answer + 3), length));
}

void IBQuery::describe_columns()
{
    if (columns_->described() > columns_->capacity()) {
        columns_->grow(columns_->described());
        StatusVector status;
        if (database_.api().isc_dsql_describe(status.get(), &statement_, SQLDA_VERSION1, columns_->get()))
            database_.raise(status);
    }
    columns_->bind_columns(database_.text_code_page());
}

// One execution with the bound parameters; the row, when asked for, comes
// back into the columns with it.
void IBQuery::run(bool row_into_columns)
{
    prepare();
    check_connected();
    StatusVector status;
    if (database_.api().isc_dsql_execute2(
            status.get(), transaction_.handle(), &statement_, static_cast<unsigned short>(database_.sql_dialect()),
            bind_parameters() ? parameters_->get() : nullptr, row_into_columns ? columns_->get() : nullptr))
        database_.raise(status);
}

void IBQuery::execute()
{
    if (lines_.empty()) throw Error(u"Empty SQL Statement");
    close();
    run(false);
}

void IBQuery::Open()
{
    if (open_) return;
    run(false);
    open_ = true;
    cursor_ = true;
    fetch();
}

void IBQuery::open_single_row()
{
    close();
    run(true);
    open_ = true;
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
    const auto& api = database_.api();
    StatusVector status;
    if (api.isc_dsql_describe_bind(status.get(), &statement_, SQLDA_VERSION1, parameters_->get()))
        database_.raise(status);
    if (parameters_->described() > parameters_->capacity()) {
        parameters_->grow(parameters_->described());
        if (api.isc_dsql_describe_bind(status.get(), &statement_, SQLDA_VERSION1, parameters_->get()))
            database_.raise(status);
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
    std::string bytes = database_.text_code_page().encode(*value);
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
                                         value ? value->size() : 0, !value, database_.parameter_character_set());
    }
    return true;
}

void IBQuery::Next()
{
    check_open();
    if (!cursor_)
        eof_ = true;
    else if (!eof_)
        fetch();
}

void IBQuery::fetch()
{
    const auto& api = database_.api();
    StatusVector status;
    const auto fetched = api.isc_dsql_fetch(status.get(), &statement_, SQLDA_VERSION1, columns_->get());
    if (fetched != 0 && fetched != 100) {
        StatusVector ignored;
        api.isc_dsql_free_statement(ignored.get(), &statement_, DSQL_close);
        open_ = false;
        cursor_ = false;
        eof_ = true;
        database_.raise(status);
    }
    eof_ = fetched == 100;
}

void IBQuery::close()
{
    if (!open_) return;
    open_ = false;
    eof_ = true;
    if (!cursor_) return;
    cursor_ = false;
    StatusVector status;
    if (database_.api().isc_dsql_free_statement(status.get(), &statement_, DSQL_close)) database_.raise(status);
}

void IBQuery::release()
{
    open_ = false;
    cursor_ = false;
    eof_ = true;
    if (!prepared()) return;
    StatusVector status;
    const bool failed = database_.api().isc_dsql_free_statement(status.get(), &statement_, DSQL_drop);
    statement_ = IscHandle{};  // a failed drop leaves it to the detach
    if (failed) database_.raise(status);
}

void IBQuery::free_quietly() noexcept
{
    open_ = false;
    cursor_ = false;
    eof_ = true;
    if (!prepared()) return;
    StatusVector status;
    database_.api().isc_dsql_free_statement(status.get(), &statement_, DSQL_drop);
    statement_ = IscHandle{};
}

void IBQuery::forget_handles() noexcept
{
    statement_ = IscHandle{};
    open_ = false;
    cursor_ = false;
    eof_ = true;
}

void IBQuery::check_open() const
{
    if (!open_) throw Error(name_ + u": Cannot perform this operation on a closed dataset");
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
