#include "db/firebird/attachment.h"

#include <algorithm>

#include "db/firebird/client_library.h"

Attachment::Attachment(std::shared_ptr<const ClientLibrary> library) : library_(std::move(library)) { }

Attachment::~Attachment()
{
    detach_quietly();
}

const IscApi& Attachment::api() const
{
    return library_->api();
}

const AnsiCodePage& Attachment::text_code_page() const
{
    return text_code_page_ ? *text_code_page_ : AnsiCodePage::system();
}

void Attachment::lower_sql_dialect(int dialect)
{
    sql_dialect_ = std::min(sql_dialect_, dialect);
}

// The client library may keep the address of a handle it gives, so each
// call that makes one is given its owner's own.
void Attachment::attach(const std::string& name, const std::string& parameters)
{
    try {
        call(&IscApi::isc_attach_database, static_cast<short>(name.size()), name.c_str(), &handle_,
             static_cast<short>(parameters.size()), parameters.c_str());
    } catch (...) {
        handle_ = IscHandle{};
        throw;
    }
}

void Attachment::detach()
{
    if (!attached()) return;
    for (const auto& weak : statements_)
        if (auto statement = weak.lock()) drop(*statement);
    for (const auto& weak : transactions_)
        if (auto transaction = weak.lock()) end_at_disconnect(*transaction);
    call(&IscApi::isc_detach_database, &handle_);
    handle_ = IscHandle{};
}

void Attachment::abandon() noexcept
{
    for (const auto& weak : statements_)
        if (auto statement = weak.lock()) statement->forget();
    for (const auto& weak : transactions_)
        if (auto transaction = weak.lock()) rollback_quietly(*transaction);
    detach_quietly();
}

void Attachment::detach_quietly() noexcept
{
    if (!attached()) return;
    call_quietly(&IscApi::isc_detach_database, &handle_);
    handle_ = IscHandle{};
}

std::shared_ptr<TransactionHandle> Attachment::add_transaction(bool commits_at_disconnect)
{
    std::erase_if(transactions_, [](const auto& weak) { return weak.expired(); });
    auto transaction = std::make_shared<TransactionHandle>();
    transaction->commits_at_disconnect = commits_at_disconnect;
    transactions_.push_back(transaction);
    return transaction;
}

std::shared_ptr<StatementHandle> Attachment::add_statement(std::shared_ptr<TransactionHandle> transaction)
{
    std::erase_if(statements_, [](const auto& weak) { return weak.expired(); });
    auto statement = std::make_shared<StatementHandle>(std::move(transaction));
    statements_.push_back(statement);
    return statement;
}

void Attachment::close_cursor(StatementHandle& statement)
{
    if (std::exchange(statement.result, OpenResult::none) != OpenResult::cursor) return;
    call(&IscApi::isc_dsql_free_statement, &statement.handle, static_cast<unsigned short>(DSQL_close));
}

void Attachment::close_cursor_quietly(StatementHandle& statement) noexcept
{
    statement.result = OpenResult::none;
    if (statement.handle == IscHandle{}) return;
    call_quietly(&IscApi::isc_dsql_free_statement, &statement.handle, static_cast<unsigned short>(DSQL_close));
}

void Attachment::close_every_cursor()
{
    for (const auto& weak : statements_)
        if (auto statement = weak.lock()) close_cursor(*statement);
}

void Attachment::drop(StatementHandle& statement)
{
    statement.result = OpenResult::none;
    if (statement.handle == IscHandle{}) return;
    try {
        call(&IscApi::isc_dsql_free_statement, &statement.handle, static_cast<unsigned short>(DSQL_drop));
    } catch (...) {
        statement.handle = IscHandle{};  // a failed drop leaves it to the detach
        throw;
    }
    statement.handle = IscHandle{};
}

void Attachment::drop_quietly(StatementHandle& statement) noexcept
{
    statement.result = OpenResult::none;
    if (statement.handle == IscHandle{}) return;
    call_quietly(&IscApi::isc_dsql_free_statement, &statement.handle, static_cast<unsigned short>(DSQL_drop));
    statement.handle = IscHandle{};
}

void Attachment::drop_statements_of(const TransactionHandle& transaction)
{
    for (const auto& weak : statements_)
        if (auto statement = weak.lock(); statement && statement->transaction.get() == &transaction) drop(*statement);
}

void Attachment::end_at_disconnect(TransactionHandle& transaction) noexcept
{
    if (transaction.handle == IscHandle{}) return;
    if (!transaction.commits_at_disconnect || !call_quietly(&IscApi::isc_commit_transaction, &transaction.handle))
        rollback_quietly(transaction);
    transaction.handle = IscHandle{};
}

void Attachment::rollback_quietly(TransactionHandle& transaction) noexcept
{
    if (transaction.handle == IscHandle{}) return;
    call_quietly(&IscApi::isc_rollback_transaction, &transaction.handle);
    transaction.handle = IscHandle{};
}

int Attachment::info_value(const ISC_SCHAR* answer, std::size_t size, ISC_SCHAR item, int absent) const
{
    if (size < 3 || answer[0] != item) return absent;
    const auto length = static_cast<short>(api().isc_vax_integer(answer + 1, 2));
    if (length <= 0 || length > static_cast<short>(size) - 3) return absent;
    return static_cast<int>(api().isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(answer + 3), length));
}

void Attachment::raise(const StatusVector& status, bool on_connection)
{
    auto error = status.error(api());
    if (status.connection_lost() || (on_connection && status.network_failed())) forget_handles();
    throw error;
}

void Attachment::forget_handles() noexcept
{
    for (const auto& weak : statements_)
        if (auto statement = weak.lock()) statement->forget();
    for (const auto& weak : transactions_)
        if (auto transaction = weak.lock()) transaction->handle = IscHandle{};
    handle_ = IscHandle{};
}
