#include "db/uDtmApi.h"

#include "db/character_sets.h"
#include "db/firebird/client_library.h"
#include "db/firebird/database_error.h"
#include "db/statement_texts.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/number_text.h"
#include "util/utf.h"

TdtmApi::TdtmApi()
    : client_library_(ClientLibrary::load()),
      dtbVardex(client_library_),
      ibtVardex(dtbVardex, TransactionAction::commit_retaining),
      qrySelect1(dtbVardex, ibtVardex, u"qrySelect1"),
      qryProcesso(dtbVardex, ibtVardex, u"qryProcesso")
{
}

namespace {

const std::vector<std::u16string> login_params = {u"user_name=SYSDBA", u"password=plumbdoor"};

}  // namespace

TdtmApi::~TdtmApi() = default;

void TdtmApi::dtmConectVardex(bool conect)
{
    if (conect) {
        dtbVardex.close_data_sets();
        dtbVardex.disconnect();
        dtbVardex.set_database_name(pathBancoVardex);
        declared_character_set_.clear();
        connect_with({}, code_page_without_character_set());
        const std::u16string declared = read_declared_character_set();
        // The engine then converts to each column's set and counts its
        // characters, whatever the code page of this machine.
        if (auto code_page = code_page_of_character_set(declared)) {
            dtmConectVardex(false);
            connect_with({u"lc_ctype=" + declared}, std::move(code_page));
            declared_character_set_ = declared;
        }
        dtbVardex.set_parameter_character_set(read_connection_character_set());
    } else {
        ibtVardex.make_inactive();
        dtbVardex.close_data_sets();
        dtbVardex.disconnect();
    }
}

void TdtmApi::connect_with(std::vector<std::u16string> extra_params, std::optional<AnsiCodePage> code_page)
{
    std::vector<std::u16string> params = login_params;
    params.insert(params.end(), extra_params.begin(), extra_params.end());
    dtbVardex.set_params(std::move(params));
    dtbVardex.set_text_code_page(std::move(code_page));
    dtbVardex.connect();
    ibtVardex.set_lock_timeout(lock_timeout_seconds);
    ibtVardex.start();
}

short TdtmApi::read_connection_character_set()
{
    qrySelect1.replace_text({u"select mon$character_set_id from mon$attachments "
                             u"where mon$attachment_id = current_connection"});
    qrySelect1.Open();
    const auto id = static_cast<short>(qrySelect1.FieldByName(u"mon$character_set_id").AsInteger());
    qrySelect1.close();
    return id;
}

std::u16string TdtmApi::read_declared_character_set()
{
    qrySelect1.replace_text({u"select rdb$character_set_name from rdb$database"});
    qrySelect1.Open();
    std::u16string name = qrySelect1.FieldByName(u"rdb$character_set_name").AsString();
    qrySelect1.close();
    return std::u16string(trim_blanks(name));
}

std::u16string TdtmApi::fit_to_column(std::u16string_view text, std::size_t limit) const
{
    return ::fit_to_column(text, limit, !declared_character_set_.empty(), dtbVardex.text_code_page());
}

bool TdtmApi::SelectFile(std::u16string_view qualSel, std::u16string_view nomeFile, std::u16string_view StringCondicao)
{
    bool found = false;
    if (qualSel == u"1") {
        qrySelect1.replace_text({select_statement_line(nomeFile, StringCondicao)});
        qrySelect1.Open();
        found = !qrySelect1.Eof();
    }
    if (equal_ignoring_ascii_case(qualSel, u"CLOSE")) qrySelect1.close();
    return found;
}

std::u16string TdtmApi::selected_text(std::u16string_view column) const
{
    return qrySelect1.FieldByName(column).AsString();
}

std::u16string TdtmApi::next_department_code()
{
    qrySelect1.replace_text({u"Select Max(cod_dep) codigo from Departamentos"});
    qrySelect1.Open();
    return integer_to_text(static_cast<long long>(qrySelect1.FieldByName(u"codigo").AsInteger()) + 1);
}

void TdtmApi::INSERTFILE(std::u16string_view nomeFile, const std::vector<std::u16string>& mDados)
{
    qryProcesso.replace_text(insert_statement_lines(nomeFile, mDados));
    qryProcesso.prepare();
    qryProcesso.execute();
}

void TdtmApi::UPDATEFILE(std::u16string_view nomeFile, std::u16string_view strValues,
                         std::u16string_view StringCondicao)
{
    qryProcesso.replace_text(update_statement_lines(nomeFile, strValues, StringCondicao));
    qryProcesso.prepare();
    qryProcesso.execute();
}

void TdtmApi::UPDATEFILE_Matriz(std::u16string_view nomeFile, std::u16string_view StringCondicao,
                                const std::vector<std::u16string>& mDados)
{
    const auto assignments = update_assignments(mDados);
    if (!assignments.empty()) UPDATEFILE(nomeFile, assignments, StringCondicao);
}

void TdtmApi::discard_uncommitted() noexcept
{
    try {
        ibtVardex.rollback_retaining();
    } catch (...) {
        // The disconnect that ends the run rolls back whatever is left.
    }
}

bool TdtmApi::failure_may_pass(const std::exception& failure)
{
    const auto* database_failure = dynamic_cast<const DatabaseError*>(&failure);
    return database_failure && database_failure->is_transient();
}

bool TdtmApi::dtmApiCommit(const void*)
{
    try {
        ibtVardex.commit_retaining();
        return true;
    } catch (const Error&) {
        ibtVardex.rollback_retaining();
        return false;
    }
}
