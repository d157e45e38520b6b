#include "db/firebird/client_library.h"

#include "db/firebird/isc_api.h"
#include "util/error.h"
#include "util/number_text.h"
#include "util/utf.h"

namespace {

std::u16string library_not_found(const std::string& file_name)
{
    return u"InterBase library " + utf8_to_utf16(file_name) +
           u" not found in the path. Please install InterBase to use this functionality";
}

constexpr int own_word_size_bits = sizeof(void*) * 8;

#ifdef _WIN32
// The package holds a build for each word size.
std::u16string importer_that_fits(int library_bits)
{
    return library_bits == 32 ? u"use x86\\importador.exe, o importador de 32 bits"
                              : u"use x64\\importador.exe, o importador de 64 bits";
}
#else
std::u16string importer_that_fits(int)
{
    return u"instale a biblioteca de " + integer_to_text(own_word_size_bits) + u" bits";
}
#endif

std::u16string library_of_other_word_size(const std::string& file_name, int library_bits)
{
    return u"A biblioteca " + utf8_to_utf16(file_name) + u" encontrada é de " + integer_to_text(library_bits) +
           u" bits, e este importador é de " + integer_to_text(own_word_size_bits) + u" bits: " +
           importer_that_fits(library_bits);
}

std::u16string system_error(const SharedLibrary::Lookup& lookup)
{
    return u"System Error.  Code: " + integer_to_text(lookup.error_code) + u".\r\n" + utf8_to_utf16(lookup.error_text);
}

template <typename Function> void resolve(const SharedLibrary& library, Function& entry, const char* name)
{
    auto lookup = library.find(name);
    if (!lookup.address) throw Error(system_error(lookup));
    entry = reinterpret_cast<Function>(lookup.address);
}

template <typename Function> void resolve_optional(const SharedLibrary& library, Function& entry, const char* name)
{
    entry = reinterpret_cast<Function>(library.find(name).address);
}

void resolve_all(const SharedLibrary& library, IscApi& api)
{
#define REQUIRED(name) resolve(library, api.name, #name)
    REQUIRED(isc_attach_database);
    REQUIRED(isc_database_info);
    REQUIRED(isc_vax_integer);
    REQUIRED(isc_portable_integer);
    REQUIRED(isc_detach_database);
    REQUIRED(isc_start_multiple);
    REQUIRED(isc_commit_retaining);
    REQUIRED(isc_commit_transaction);
    REQUIRED(isc_rollback_transaction);
    REQUIRED(isc_dsql_alloc_statement2);
    REQUIRED(isc_dsql_prepare);
    REQUIRED(isc_dsql_sql_info);
    REQUIRED(isc_dsql_describe_bind);
    REQUIRED(isc_dsql_describe);
    REQUIRED(isc_dsql_execute2);
    REQUIRED(isc_dsql_fetch);
    REQUIRED(isc_dsql_free_statement);
    REQUIRED(isc_sqlcode);
    REQUIRED(fb_interpret);
#undef REQUIRED
    resolve_optional(library, api.isc_rollback_retaining, "isc_rollback_retaining");
    resolve_optional(library, api.isc_dsql_execute_immediate, "isc_dsql_execute_immediate");
}

#ifdef _WIN32
// gds32.dll is the name the back office has always installed; current client
// installations ship only fbclient.dll.
constexpr const char* default_name = "gds32.dll";
constexpr const char* fallback_name = "fbclient.dll";
#else
constexpr const char* default_name = "libfbclient.so.2";
constexpr const char* fallback_name = nullptr;
#endif

}  // namespace

const char* ClientLibrary::default_file_name()
{
    return default_name;
}

std::shared_ptr<const ClientLibrary> ClientLibrary::load(const std::string& file_name)
{
    auto library = SharedLibrary::open(file_name);
    std::string found_name = file_name;
    if (!library.loaded() && fallback_name && file_name == default_name) {
        // A library of the other word size under the first name is what
        // to report, unless the second name loads.
        auto fallback = SharedLibrary::open(fallback_name);
        if (fallback.loaded() || !library.other_word_size_bits()) {
            library = std::move(fallback);
            found_name = fallback_name;
        }
    }
    if (library.other_word_size_bits())
        throw Error(library_of_other_word_size(found_name, library.other_word_size_bits()));
    if (!library.loaded()) throw Error(library_not_found(file_name));
    auto api = std::make_unique<IscApi>();
    resolve_all(library, *api);
    return std::shared_ptr<const ClientLibrary>(new ClientLibrary(std::move(library), std::move(api)));
}

ClientLibrary::ClientLibrary(SharedLibrary library, std::unique_ptr<IscApi> api)
    : library_(std::move(library)), api_(std::move(api))
{
}

ClientLibrary::~ClientLibrary() = default;
