#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/ansi_codepage.h"

class Attachment;
class ClientLibrary;

// One connection to a database through the client library. The transactions
// and queries bound to it share its attachment, so they may outlive it; once
// it is gone or disconnected their handles are simply forgotten. The
// database name and parameters go through the ANSI code page; statements and
// values through the connection's text code page, the ANSI one unless set.
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
    bool connected() const;
    void close_data_sets();

    // The code page of statement texts and of the text columns read; set it
    // to match an lc_ctype parameter. Only while disconnected.
    void set_text_code_page(std::optional<AnsiCodePage> code_page);
    const AnsiCodePage& text_code_page() const;

    // The character set a statement's parameters are sent in: the one the
    // connection speaks (its lc_ctype), so that they convert as literals
    // do. NONE (0) unless set.
    void set_parameter_character_set(short id);
    short parameter_character_set() const;

    // 3 when created; lowered to the database's dialect after an attach.
    int sql_dialect() const;

    // What the transactions and queries bound to this database share.
    const std::shared_ptr<Attachment>& attachment() const { return attachment_; }

private:
    void read_sql_dialect();

    std::shared_ptr<Attachment> attachment_;
    std::u16string database_name_;
    std::vector<std::u16string> params_;
};
