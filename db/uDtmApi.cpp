#include "db/uDtmApi.h"

#include "db/firebird/client_library.h"
#include "db/statement_texts.h"
#include "util/ascii_text.h"
#include "util/error.h"

TdtmApi::TdtmApi()
    : client_library_(ClientLibrary::load()),
      dtbVardex(client_library_),
      ibtVardex(dtbVardex, TransactionAction::commit_retaining),
      qrySelect1(dtbVardex, ibtVardex, u"qrySelect1"),
      qryProcesso(dtbVardex, ibtVardex, u"qryProcesso")
{
    dtbVardex.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
}

TdtmApi::~TdtmApi() = default;

void TdtmApi::dtmConectVardex(bool conect)
{
    if (conect) {
        dtbVardex.close_data_sets();
        dtbVardex.disconnect();
        dtbVardex.set_database_name(pathBancoVardex);
        dtbVardex.connect();
        ibtVardex.start();
    } else {
        ibtVardex.make_inactive();
        dtbVardex.close_data_sets();
        dtbVardex.disconnect();
    }
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
