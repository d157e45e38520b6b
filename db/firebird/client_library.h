#pragma once

#include <memory>
#include <string>

#include "db/firebird/shared_library.h"

struct IscApi;

// The database client library, loaded at run time and resolved into one
// function table. Loading fails with an Error naming the library, or with
// the platform's text naming the missing entry point.
class ClientLibrary {
public:
    static const char* default_file_name();
    static std::shared_ptr<const ClientLibrary> load(const std::string& file_name = default_file_name());

    ClientLibrary(const ClientLibrary&) = delete;
    ClientLibrary& operator=(const ClientLibrary&) = delete;
    ~ClientLibrary();

    const IscApi& api() const { return *api_; }

private:
    ClientLibrary(SharedLibrary library, std::unique_ptr<IscApi> api);
    SharedLibrary library_;
    std::unique_ptr<IscApi> api_;
};
