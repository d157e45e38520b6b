#pragma once

// Internal to db/firebird: one connection through the client library, shared
// by the database, its transactions and its queries.

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "db/firebird/isc_api.h"
#include "db/firebird/status_vector.h"
#include "util/ansi_codepage.h"

class ClientLibrary;

// The handle of one transaction; zero while none is started, and once it
// ended or the connection was lost.
struct TransactionHandle {
    IscHandle handle{};
    bool commits_at_disconnect = true;  // how a disconnect ends it while active
};

// What a statement has open: nothing, a cursor to fetch from, or the one
// row its execution returned.
enum class OpenResult { none, cursor, row };

// The handle of one statement; zero while not prepared, and once freed or
// the connection was lost.
struct StatementHandle {
    explicit StatementHandle(std::shared_ptr<TransactionHandle> owner) : transaction(std::move(owner)) { }
    std::shared_ptr<TransactionHandle> transaction;  // whose end drops the statement
    IscHandle handle{};
    OpenResult result = OpenResult::none;
    void forget() noexcept
    {
        handle = IscHandle{};
        result = OpenResult::none;
    }
};

// Owns the database handle. Transactions and queries hold the attachment and
// their own handles; it keeps them weakly, to end them before it detaches
// and to forget them, without a call, once the connection is lost.
class Attachment {
public:
    explicit Attachment(std::shared_ptr<const ClientLibrary> library);
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    ~Attachment();  // detaches quietly when still attached

    const IscApi& api() const;
    IscHandle* handle() { return &handle_; }
    bool attached() const { return handle_ != IscHandle{}; }

    void attach(const std::string& name, const std::string& parameters);
    // Drops every statement, ends every transaction by its default action,
    // then detaches.
    void detach();
    // Forgets the statements, rolls the transactions back and detaches, all
    // quietly.
    void abandon() noexcept;

    std::shared_ptr<TransactionHandle> add_transaction(bool commits_at_disconnect);
    std::shared_ptr<StatementHandle> add_statement(std::shared_ptr<TransactionHandle> transaction);

    void close_cursor(StatementHandle& statement);
    void close_cursor_quietly(StatementHandle& statement) noexcept;
    void close_every_cursor();
    void drop(StatementHandle& statement);  // unprepares it, with what it has open
    void drop_quietly(StatementHandle& statement) noexcept;
    void drop_statements_of(const TransactionHandle& transaction);
    void rollback_quietly(TransactionHandle& transaction) noexcept;

    // The value of `item` in an info call's answer; `absent` when the
    // answer lacks it.
    int info_value(const ISC_SCHAR* answer, std::size_t size, ISC_SCHAR item, int absent) const;

    // The code page of statement texts and of the text columns read.
    void set_text_code_page(std::optional<AnsiCodePage> code_page) { text_code_page_ = std::move(code_page); }
    const AnsiCodePage& text_code_page() const;
    int sql_dialect() const { return sql_dialect_; }
    void lower_sql_dialect(int dialect);
    short parameter_character_set() const { return parameter_character_set_; }
    void set_parameter_character_set(short id) { parameter_character_set_ = id; }

    // Calls an entry of the client library with a fresh status vector and
    // returns its result. A failure throws its DatabaseError; a lost
    // connection (or, for calls on the connection itself, a failed network
    // read or write) first forgets every handle.
    template <typename Entry, typename... Args> ISC_STATUS call(Entry IscApi::*entry, Args&&... args)
    {
        StatusVector status;
        const ISC_STATUS result = (api().*entry)(status.get(), std::forward<Args>(args)...);
        if (result != 0 && status.failed()) raise(status, on_connection(entry));
        return result;
    }

    // The same for calls whose failure changes nothing: false when it failed.
    template <typename Entry, typename... Args> bool call_quietly(Entry IscApi::*entry, Args&&... args) noexcept
    {
        StatusVector status;
        return (api().*entry)(status.get(), std::forward<Args>(args)...) == 0;
    }

private:
    template <typename Entry, typename Other> static bool same_entry(Entry IscApi::*entry, Other IscApi::*other)
    {
        if constexpr (std::is_same_v<Entry, Other>)
            return entry == other;
        else
            return false;
    }
    template <typename Entry> static bool on_connection(Entry IscApi::*entry)
    {
        return same_entry(entry, &IscApi::isc_attach_database) || same_entry(entry, &IscApi::isc_database_info) ||
               same_entry(entry, &IscApi::isc_detach_database);
    }
    [[noreturn]] void raise(const StatusVector& status, bool on_connection);
    void forget_handles() noexcept;
    void end_at_disconnect(TransactionHandle& transaction) noexcept;
    void detach_quietly() noexcept;

    std::shared_ptr<const ClientLibrary> library_;
    IscHandle handle_{};
    std::optional<AnsiCodePage> text_code_page_;
    int sql_dialect_ = 3;
    short parameter_character_set_ = 0;
    std::vector<std::weak_ptr<TransactionHandle>> transactions_;
    std::vector<std::weak_ptr<StatementHandle>> statements_;
};
