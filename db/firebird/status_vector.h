#pragma once

// Internal to db/: the status vector of one client-library call and the
// error built from it.

#include "db/firebird/database_error.h"
#include "db/firebird/isc_api.h"

class StatusVector {
public:
    ISC_STATUS* get() { return values_; }

    // An error, rather than a clean answer such as a fetch's end of data.
    bool failed() const { return values_[1] != 0; }
    // Whether the error codes of the vector include this one.
    bool holds(ISC_STATUS code) const;
    bool connection_lost() const;  // the attachment is gone
    bool network_failed() const;  // reading or writing the connection failed

    // The client library's lines joined by CR LF, one final full stop removed.
    DatabaseError error(const IscApi& api) const;

private:
    ISC_STATUS_ARRAY values_{};
};
