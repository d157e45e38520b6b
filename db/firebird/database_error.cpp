#include "db/firebird/database_error.h"

#include <algorithm>

namespace {

// Failures that say nothing about the data sent: another writer's lock or
// row, the connection or the server, the disk, memory. Trying again later
// may succeed, so the product is not to be given up.
constexpr std::int64_t transient_codes[] = {
    335544336,  // deadlock
    335544345,  // lock_conflict: lock conflict on no wait transaction
    335544451,  // update_conflict: update conflicts with concurrent update
    335544510,  // lock_timeout: lock time-out on wait transaction
    335544878,  // concurrent_transaction
    335544665,  // unique_key_violation: another writer created the same key
    335544349,  // no_dup: attempt to store duplicate value in a unique index
    335544721,  // network_error: unable to complete network request
    335544726,  // net_read_err
    335544727,  // net_write_err
    335544741,  // lost_db_connection
    335544648,  // conn_lost
    335544528,  // shutdown: database shut down
    335544856,  // att_shutdown: connection shut down
    335544324,  // bad_db_handle: the attachment is gone
    335544344,  // io_error
    335544430,  // virmemexh: unable to allocate memory
};

}  // namespace

bool DatabaseError::is_transient() const
{
    return std::any_of(error_codes_.begin(), error_codes_.end(), [](std::int64_t code) {
        return std::find(std::begin(transient_codes), std::end(transient_codes), code) != std::end(transient_codes);
    });
}
