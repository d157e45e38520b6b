#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/firebird/isc_handle.h"

class IBDatabase;
class IBQuery;

// How a transaction still active at disconnect is ended: commit and
// commit_retaining end it with a commit, the other two with a rollback.
enum class TransactionAction { commit, rollback, commit_retaining, rollback_retaining };

// One transaction on one database, started without a parameter buffer (the
// server's defaults). Owns the transaction handle; its queries must be
// destroyed before it.
class IBTransaction {
public:
    explicit IBTransaction(IBDatabase& database, TransactionAction default_action = TransactionAction::commit);
    IBTransaction(const IBTransaction&) = delete;
    IBTransaction& operator=(const IBTransaction&) = delete;
    ~IBTransaction();  // rolls back quietly when still active

    // A transaction started after this waits at most `seconds` for a row
    // another transaction holds, then fails with a lock conflict; unset, it
    // waits as long as the other holds it.
    void set_lock_timeout(std::optional<int> seconds) { lock_timeout_ = seconds; }
    void start();
    // Work made permanent / discarded; the transaction, open results and
    // prepared statements stay.
    void commit_retaining();
    void rollback_retaining();
    // End the transaction; its queries are closed and unprepared first.
    void commit();
    void rollback();
    // Rolls back when active, whatever the default action.
    void make_inactive();

    bool active() const { return handle_ != IscHandle{}; }
    TransactionAction default_action() const { return default_action_; }
    IBDatabase& database() const { return database_; }

private:
    friend class IBDatabase;
    friend class IBQuery;

    IscHandle* handle() { return &handle_; }
    void check_active() const;
    void release_queries();
    void end_at_disconnect() noexcept;
    void rollback_quietly() noexcept;
    std::string parameter_buffer() const;
    void forget_handle() noexcept { handle_ = IscHandle{}; }

    IBDatabase& database_;
    TransactionAction default_action_;
    IscHandle handle_{};
    std::optional<int> lock_timeout_;
    std::vector<IBQuery*> queries_;
};
