#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/firebird/isc_handle.h"
#include "util/ansi_codepage.h"

class ClientLibrary;
class IBQuery;
class IBTransaction;
class StatusVector;
struct IscApi;

// One connection to a database through the client library. Owns the
// attachment handle; the transactions and queries bound to it must be
// destroyed before it. The database name and parameters go through the ANSI
// code page; statements and values through the connection's text code page,
// the ANSI one unless set.
class IBDatabase {
public:
    explicit IBDatabase(std::shared_ptr<const ClientLibrary> library);
    IBDatabase(const IBDatabase&) = delete;
    IBDatabase& operator=(const IBDatabase&) = delete;
    ~IBDatabase();  // still connected: rolls back what is not committed, detaches; reports nothing

    // A file path, or a server name, a colon and a path. Only while disconnected.
    void set_database_name(std::u16string name);
    const std::u16string& database_name() const { return database_name_; }

    // "name=value" lines; user_name, password and lc_ctype are understood (with or
    // without an isc_dpb_ prefix, any case), sent in the order given.
    void set_params(std::vector<std::u16string> params) { params_ = std::move(params); }
    const std::vector<std::u16string>& params() const { return params_; }

    void connect();  // nothing happens when already connected
    void disconnect();  // nothing happens when not connected
    bool connected() const { return handle_ != IscHandle{}; }
    void close_data_sets();

    // The code page of statement texts and of the text columns read; set it
    // to match an lc_ctype parameter. Only while disconnected.
    void set_text_code_page(std::optional<AnsiCodePage> code_page);
    const AnsiCodePage& text_code_page() const;

    // The character set a statement's parameters are sent in: the one the
    // connection speaks (its lc_ctype), so that they convert as literals
    // do. NONE (0) unless set.
    void set_parameter_character_set(short id) { parameter_character_set_ = id; }
    short parameter_character_set() const { return parameter_character_set_; }

    // 3 when created; lowered to the database's dialect after an attach.
    int sql_dialect() const { return sql_dialect_; }

private:
    friend class IBTransaction;
    friend class IBQuery;

    const IscApi& api() const;
    IscHandle* handle() { return &handle_; }
    // Raises the error of a failed call; a lost connection (or, for calls
    // on the connection itself, a failed network read or write) first drops
    // every handle without further calls.
    [[noreturn]] void raise(const StatusVector& status, bool connection_call = false);
    void drop_connection() noexcept;
    void detach_quietly() noexcept;
    void read_sql_dialect();

    std::shared_ptr<const ClientLibrary> library_;
    std::u16string database_name_;
    std::vector<std::u16string> params_;
    std::optional<AnsiCodePage> text_code_page_;
    IscHandle handle_{};
    int sql_dialect_ = 3;
    short parameter_character_set_ = 0;
    std::vector<IBTransaction*> transactions_;
    std::vector<IBQuery*> queries_;
};
