#pragma once

#include <memory>
#include <optional>
#include <string>

class Attachment;
class IBDatabase;
struct TransactionHandle;

// How a transaction still active at disconnect is ended: commit and
// commit_retaining end it with a commit, the other two with a rollback.
enum class TransactionAction { commit, rollback, commit_retaining, rollback_retaining };

// One transaction on one database, started without a parameter buffer (the
// server's defaults). Owns the transaction handle; its queries share it, so
// they may outlive it.
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

    bool active() const;
    TransactionAction default_action() const { return default_action_; }

    // What the queries bound to this transaction share.
    const std::shared_ptr<TransactionHandle>& handle() const { return handle_; }

private:
    void check_active() const;
    // Commits or rolls back; the queries are closed and unprepared first.
    template <typename Entry> void end(Entry entry);
    std::string parameter_buffer() const;

    std::shared_ptr<Attachment> attachment_;
    TransactionAction default_action_;
    std::shared_ptr<TransactionHandle> handle_;
    std::optional<int> lock_timeout_;
};
