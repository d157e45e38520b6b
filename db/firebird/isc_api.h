#pragma once

// Internal to db/: the client library's entry points as one function table.
// Only the sources of the client layer include this header (and ibase.h).

#include <ibase.h>

#include <type_traits>

#include "db/firebird/isc_handle.h"

static_assert(std::is_same_v<IscHandle, FB_API_HANDLE>, "IscHandle must match the client library's handle type");

struct IscApi {
#define IMPORTADOR_ISC_ENTRY(name) decltype(&::name) name = nullptr;
    IMPORTADOR_ISC_ENTRY(isc_attach_database)
    IMPORTADOR_ISC_ENTRY(isc_database_info)
    IMPORTADOR_ISC_ENTRY(isc_vax_integer)
    IMPORTADOR_ISC_ENTRY(isc_portable_integer)
    IMPORTADOR_ISC_ENTRY(isc_detach_database)
    IMPORTADOR_ISC_ENTRY(isc_start_multiple)
    IMPORTADOR_ISC_ENTRY(isc_commit_retaining)
    IMPORTADOR_ISC_ENTRY(isc_commit_transaction)
    IMPORTADOR_ISC_ENTRY(isc_rollback_transaction)
    IMPORTADOR_ISC_ENTRY(isc_dsql_alloc_statement2)
    IMPORTADOR_ISC_ENTRY(isc_dsql_prepare)
    IMPORTADOR_ISC_ENTRY(isc_dsql_sql_info)
    IMPORTADOR_ISC_ENTRY(isc_dsql_describe_bind)
    IMPORTADOR_ISC_ENTRY(isc_dsql_describe)
    IMPORTADOR_ISC_ENTRY(isc_dsql_execute2)
    IMPORTADOR_ISC_ENTRY(isc_dsql_fetch)
    IMPORTADOR_ISC_ENTRY(isc_dsql_free_statement)
    IMPORTADOR_ISC_ENTRY(isc_sqlcode)
    IMPORTADOR_ISC_ENTRY(fb_interpret)
    // Optional: null when the library lacks them.
    IMPORTADOR_ISC_ENTRY(isc_rollback_retaining)
    IMPORTADOR_ISC_ENTRY(isc_dsql_execute_immediate)
#undef IMPORTADOR_ISC_ENTRY
};
