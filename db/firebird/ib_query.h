#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/firebird/ib_field.h"

class Attachment;
class IBDatabase;
class IBTransaction;
class SqlDescriptorArea;
struct StatementHandle;

// One SQL statement on a database and transaction. Owns the statement
// handle and the buffers of its result row; shares the attachment and the
// transaction's handle, so it may outlive both. The text is a list of lines,
// sent each followed by CR LF; any change of text closes the query and
// drops the prepared statement.
class IBQuery {
public:
    // name prefixes the query's own messages ("qrySelect1: Field 'x' not found").
    IBQuery(IBDatabase& database, IBTransaction& transaction, std::u16string name);
    IBQuery(const IBQuery&) = delete;
    IBQuery& operator=(const IBQuery&) = delete;
    ~IBQuery();

    const std::u16string& name() const { return name_; }

    void replace_text(std::vector<std::u16string> lines);
    const std::vector<std::u16string>& text() const { return lines_; }

    void prepare();  // nothing happens when already prepared
    void execute();  // a statement without rows; prepares when needed
    void Open();  // runs a SELECT and moves to its first row; nothing happens when open
    // Runs a statement that gives one row, fetching it in the same exchange
    // with the server: no cursor stays open. The row reads as after Open;
    // more than one row is the database's error.
    void open_single_row();
    void Next();  // moves to the next row, or to the end of data
    void close();  // drops the result; the statement stays prepared
    bool Eof() const { return !active() || eof_; }  // true when there is no current row
    bool active() const;
    bool prepared() const;

    // The statement's "?" markers, by position from 0 (the statement is
    // prepared first). Each is sent as text in the connection's character
    // set, so that the engine converts it as it converts a literal; no
    // value sends NULL, as does a marker left unset. A change of text
    // unsets them all.
    int parameter_count();
    void set_parameter(int index, std::optional<std::u16string_view> value);

    // The column of the current row whose name (or alias) equals name,
    // ASCII letters of any case. The query must be open.
    IBField FieldByName(std::u16string_view name) const;
    // Columns of the open result, by position from 0.
    int field_count() const;
    IBField field(int index) const;

private:
    void check_connected() const;
    void check_open() const;
    void fetch();
    void run(bool row_into_columns);
    int read_statement_type();
    void describe_columns();
    std::string statement_bytes() const;
    void describe_parameters();
    bool bind_parameters();  // false: the statement takes none

    std::shared_ptr<Attachment> attachment_;
    std::shared_ptr<StatementHandle> statement_;
    std::u16string name_;
    std::vector<std::u16string> lines_;
    bool eof_ = true;  // of the open result
    std::unique_ptr<SqlDescriptorArea> columns_;
    // Described on first use only: describing costs a round trip, and most
    // statements carry their values in their text.
    std::unique_ptr<SqlDescriptorArea> parameters_;
    bool parameters_described_ = false;
    std::vector<std::optional<std::string>> parameter_values_;  // encoded
};
