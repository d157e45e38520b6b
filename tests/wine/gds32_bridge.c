/* A test-only client library for the Windows build under Wine: a Wine
 * builtin DLL whose isc_ entry points call the same functions of Linux's
 * libfbclient.so.2, so that importador.exe writes through the real embedded
 * engine. Built with winegcc; never shipped.
 *
 * ibase.h stays out: under winegcc it would mark the Linux prototypes with
 * the Windows calling convention. The Linux side is declared by hand; its
 * types have the same sizes as the Windows client's (8-byte status words,
 * 4-byte handles). */
#include <windows.h>

#include <dlfcn.h>
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

typedef intptr_t status_t;
typedef unsigned int fb_handle;

extern char* CDECL wine_get_unix_file_name(const WCHAR* dos_name);

static void* client;

static void* linux_entry(const char* name)
{
    void* entry;
    if (!client) client = dlopen("libfbclient.so.2", RTLD_NOW | RTLD_GLOBAL);
    entry = client ? dlsym(client, name) : NULL;
    if (!entry) abort(); /* a test fixture that cannot work: fail loudly */
    return entry;
}

#define LINUX(type, name, params) \
    static type(*linux_fn) params; \
    if (!linux_fn) linux_fn = (type(*) params)linux_entry(name)

/* Linux fbclient reads "C:\x.fdb" as host "C"; a drive path becomes the Unix
 * path Wine maps it to. The folder goes through realpath as well, since Wine
 * answers with .../dosdevices/c:/..., whose colon fbclient misreads too. */
static int unix_database_name(const char* name, short length, char* out, size_t out_size)
{
    char ansi[MAX_PATH];
    WCHAR wide[MAX_PATH];
    char *unix_name, *slash, folder[PATH_MAX];
    size_t n = length ? (size_t)length : strlen(name);
    if (n < 3 || n >= MAX_PATH || name[1] != ':' || (name[2] != '\\' && name[2] != '/')) return 0;
    memcpy(ansi, name, n);
    ansi[n] = 0;
    if (!MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, MAX_PATH)) return 0;
    unix_name = wine_get_unix_file_name(wide);
    if (!unix_name) return 0;
    slash = strrchr(unix_name, '/');
    if (slash) *slash = 0;
    if (!slash || !realpath(unix_name, folder) || strlen(folder) + strlen(slash + 1) + 2 > out_size) {
        HeapFree(GetProcessHeap(), 0, unix_name);
        return 0;
    }
    strcpy(out, folder);
    strcat(out, "/");
    strcat(out, slash + 1);
    HeapFree(GetProcessHeap(), 0, unix_name);
    return 1;
}

status_t WINAPI br_isc_attach_database(status_t* status, short length, const char* name, fb_handle* db,
                                       short dpb_length, const char* dpb)
{
    char translated[PATH_MAX];
    LINUX(status_t, "isc_attach_database", (status_t*, short, const char*, fb_handle*, short, const char*));
    if (unix_database_name(name, length, translated, sizeof translated))
        return linux_fn(status, (short)strlen(translated), translated, db, dpb_length, dpb);
    return linux_fn(status, length, name, db, dpb_length, dpb);
}

status_t WINAPI br_isc_database_info(status_t* status, fb_handle* db, short items_length, const char* items,
                                     short buffer_length, char* buffer)
{
    LINUX(status_t, "isc_database_info", (status_t*, fb_handle*, short, const char*, short, char*));
    return linux_fn(status, db, items_length, items, buffer_length, buffer);
}

int WINAPI br_isc_vax_integer(const char* bytes, short length)
{
    LINUX(int, "isc_vax_integer", (const char*, short));
    return linux_fn(bytes, length);
}

long long WINAPI br_isc_portable_integer(const unsigned char* bytes, short length)
{
    LINUX(long long, "isc_portable_integer", (const unsigned char*, short));
    return linux_fn(bytes, length);
}

#define HANDLE_CALL(name) \
    status_t WINAPI br_##name(status_t* status, fb_handle* handle) \
    { \
        LINUX(status_t, #name, (status_t*, fb_handle*)); \
        return linux_fn(status, handle); \
    }
HANDLE_CALL(isc_detach_database)
HANDLE_CALL(isc_commit_retaining)
HANDLE_CALL(isc_commit_transaction)
HANDLE_CALL(isc_rollback_retaining)
HANDLE_CALL(isc_rollback_transaction)

status_t WINAPI br_isc_start_multiple(status_t* status, fb_handle* tr, short count, void* vector)
{
    LINUX(status_t, "isc_start_multiple", (status_t*, fb_handle*, short, void*));
    return linux_fn(status, tr, count, vector);
}

status_t WINAPI br_isc_dsql_alloc_statement2(status_t* status, fb_handle* db, fb_handle* stmt)
{
    LINUX(status_t, "isc_dsql_alloc_statement2", (status_t*, fb_handle*, fb_handle*));
    return linux_fn(status, db, stmt);
}

status_t WINAPI br_isc_dsql_prepare(status_t* status, fb_handle* tr, fb_handle* stmt, unsigned short length,
                                    const char* text, unsigned short dialect, void* xsqlda)
{
    LINUX(status_t, "isc_dsql_prepare",
          (status_t*, fb_handle*, fb_handle*, unsigned short, const char*, unsigned short, void*));
    return linux_fn(status, tr, stmt, length, text, dialect, xsqlda);
}

status_t WINAPI br_isc_dsql_sql_info(status_t* status, fb_handle* stmt, short items_length, const char* items,
                                     short buffer_length, char* buffer)
{
    LINUX(status_t, "isc_dsql_sql_info", (status_t*, fb_handle*, short, const char*, short, char*));
    return linux_fn(status, stmt, items_length, items, buffer_length, buffer);
}

#define DESCRIBE_CALL(name) \
    status_t WINAPI br_##name(status_t* status, fb_handle* stmt, unsigned short version, void* xsqlda) \
    { \
        LINUX(status_t, #name, (status_t*, fb_handle*, unsigned short, void*)); \
        return linux_fn(status, stmt, version, xsqlda); \
    }
DESCRIBE_CALL(isc_dsql_describe)
DESCRIBE_CALL(isc_dsql_describe_bind)
DESCRIBE_CALL(isc_dsql_fetch)

status_t WINAPI br_isc_dsql_execute(status_t* status, fb_handle* tr, fb_handle* stmt, unsigned short version,
                                    const void* in)
{
    LINUX(status_t, "isc_dsql_execute", (status_t*, fb_handle*, fb_handle*, unsigned short, const void*));
    return linux_fn(status, tr, stmt, version, in);
}

status_t WINAPI br_isc_dsql_execute2(status_t* status, fb_handle* tr, fb_handle* stmt, unsigned short version,
                                     const void* in, const void* out)
{
    LINUX(status_t, "isc_dsql_execute2",
          (status_t*, fb_handle*, fb_handle*, unsigned short, const void*, const void*));
    return linux_fn(status, tr, stmt, version, in, out);
}

status_t WINAPI br_isc_dsql_execute_immediate(status_t* status, fb_handle* db, fb_handle* tr, unsigned short length,
                                              const char* text, unsigned short dialect, const void* in)
{
    LINUX(status_t, "isc_dsql_execute_immediate",
          (status_t*, fb_handle*, fb_handle*, unsigned short, const char*, unsigned short, const void*));
    return linux_fn(status, db, tr, length, text, dialect, in);
}

status_t WINAPI br_isc_dsql_free_statement(status_t* status, fb_handle* stmt, unsigned short option)
{
    LINUX(status_t, "isc_dsql_free_statement", (status_t*, fb_handle*, unsigned short));
    return linux_fn(status, stmt, option);
}

int WINAPI br_isc_sqlcode(const status_t* status)
{
    LINUX(int, "isc_sqlcode", (const status_t*));
    return linux_fn(status);
}

int WINAPI br_fb_interpret(char* buffer, unsigned int size, const status_t** vector)
{
    LINUX(int, "fb_interpret", (char*, unsigned int, const status_t**));
    return linux_fn(buffer, size, vector);
}
