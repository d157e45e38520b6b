#include "db/firebird/status_vector.h"

#include "util/ansi_codepage.h"

namespace {

constexpr ISC_STATUS lost_db_connection = 335544741;
constexpr ISC_STATUS net_read_err = 335544726;
constexpr ISC_STATUS net_write_err = 335544727;

// Clusters of a status vector: isc_arg_gds code, isc_arg_string text, ...;
// each cluster is a tag and one value, except isc_arg_cstring's two.
int cluster_length(ISC_STATUS tag)
{
    return tag == isc_arg_cstring ? 3 : 2;
}

}  // namespace

bool StatusVector::holds(ISC_STATUS code) const
{
    for (int i = 0; i + 1 < ISC_STATUS_LENGTH && values_[i] != isc_arg_end; i += cluster_length(values_[i])) {
        if (values_[i] == isc_arg_gds && values_[i + 1] == code) return true;
    }
    return false;
}

bool StatusVector::connection_lost() const
{
    return holds(lost_db_connection);
}

bool StatusVector::network_failed() const
{
    return holds(net_read_err) || holds(net_write_err);
}

DatabaseError StatusVector::error(const IscApi& api) const
{
    const auto& code_page = AnsiCodePage::system();
    std::u16string message;
    char line[1024];
    const ISC_STATUS* cursor = values_;
    while (api.fb_interpret(line, sizeof line, &cursor) > 0) {
        if (!message.empty() && message.back() != u'\n') message += u"\r\n";
        message += code_page.decode(line);
    }
    if (!message.empty() && message.back() == u'.') message.pop_back();
    std::vector<std::int64_t> codes;
    for (int i = 0; i + 1 < ISC_STATUS_LENGTH && values_[i] != isc_arg_end; i += cluster_length(values_[i]))
        if (values_[i] == isc_arg_gds) codes.push_back(values_[i + 1]);
    return DatabaseError(std::move(message), api.isc_sqlcode(values_), std::move(codes));
}
