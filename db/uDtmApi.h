#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"

class ClientLibrary;

// The data module: the program's only way into the local database. One
// connection, one transaction, a query for SELECTs whose current row
// callers read (qrySelect1) and one for INSERTs and UPDATEs (qryProcesso).
class TdtmApi {
    // Declared first: loaded before, and released after, the members below.
    std::shared_ptr<const ClientLibrary> client_library_;

public:
    TdtmApi();  // loads the client library (throws Error on failure); does not connect
    TdtmApi(const TdtmApi&) = delete;
    TdtmApi& operator=(const TdtmApi&) = delete;
    ~TdtmApi();

    // true: connect to pathBancoVardex and start the transaction; false:
    // roll back what is not committed and disconnect. A database that
    // declares a character set is spoken to in it; one that declares none
    // in code_page_without_character_set().
    void dtmConectVardex(bool conect);
    // "1": run the select and tell whether it found a row (qrySelect1 stays
    // open on it); "close" in any case: close qrySelect1; anything else: nothing.
    bool SelectFile(std::u16string_view qualSel, std::u16string_view nomeFile, std::u16string_view StringCondicao);
    // A column of the row SelectFile("1", ...) found, as text.
    std::u16string selected_text(std::u16string_view column) const;
    // One past the highest department code (1 when there is none); leaves
    // qrySelect1 open on the maximum.
    std::u16string next_department_code();
    void INSERTFILE(std::u16string_view nomeFile, const std::vector<std::u16string>& mDados);
    void UPDATEFILE(std::u16string_view nomeFile, std::u16string_view strValues, std::u16string_view StringCondicao);
    // Sends nothing when there is nothing to assign.
    void UPDATEFILE_Matriz(std::u16string_view nomeFile, std::u16string_view StringCondicao,
                           const std::vector<std::u16string>& mDados);
    // Commit keeping the transaction; on failure the uncommitted work is
    // rolled back (keeping the transaction) and the result is false.
    bool dtmApiCommit(const void* DataSet = nullptr);

    // The longest prefix of whole characters of `text` that a text column
    // of `limit` characters holds: counted in characters where the database
    // declares a character set, in encoded bytes where it declares none.
    std::u16string fit_to_column(std::u16string_view text, std::size_t limit) const;
    // The database's own character set; empty when it declares none.
    const std::u16string& declared_character_set() const { return declared_character_set_; }

    // False once disconnected, or once a failure lost the connection.
    bool connected() const { return dtbVardex.connected(); }
    // A failure that may pass (a lock, the connection, the server, the disk,
    // memory) rather than one caused by the data sent.
    static bool failure_may_pass(const std::exception& failure);

    IBDatabase dtbVardex;
    IBTransaction ibtVardex;
    IBQuery qrySelect1;
    IBQuery qryProcesso;
    std::u16string pathBancoVardex;
    // How long a write waits for a row another station holds before the
    // page is given up; it is never left waiting for good.
    int lock_timeout_seconds = 30;
    // Rolls back what is not committed, keeping the transaction where it
    // can; never fails, as the connection may be gone.
    void discard_uncommitted() noexcept;

private:
    void connect_with(std::vector<std::u16string> extra_params, std::optional<AnsiCodePage> code_page);
    std::u16string read_declared_character_set();
    short read_connection_character_set();

    std::u16string declared_character_set_;
};
