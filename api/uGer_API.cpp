#include "api/uGer_API.h"

#include "api/bearer.h"
#include "api/http_status.h"
#include "api/response_checker.h"
#include "http/url.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"
#include "util/request_file.h"
#include "util/utf.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int backoff_step_seconds = 180;
constexpr int backoff_max_count = 10;
constexpr std::u16string_view people_confirmation = u"api/operacoes-frente/updateData/PESSOA";
constexpr std::u16string_view products_confirmation = u"api/operacoes-frente/updateData/PRODUTO";

// The compiled-in address unless QUINTARA_BASE_URL names another; always
// ending in "/" so paths can simply follow it.
std::u16string service_base_url()
{
    const char* configured = std::getenv("QUINTARA_BASE_URL");
    std::u16string url = utf8_to_utf16(configured && *configured ? configured : QUINTARA_BASE_URL_DEFAULT);
    if (url.empty() || url.back() != u'/') url += u'/';
    return url;
}

}  // namespace

Tger_API::Tger_API() : clock(&Funcoes_da_Kelvo::Seconds)
{
    rRequest_post_Ok_dados.Method = "POST";
    rRequest_post_Ok_dados.ContentType = "application/x-www-form-urlencoded";
    FormCreate();
}

void Tger_API::FormCreate()
{
    urlBase = service_base_url();
    urlGetStatus = u"api/getStatus";
    urlGetDadosProdutos = u"api/operacoes-frente/getPessoasProdutos/PRODUTO/";
    urlGetDadosPessoas = u"api/operacoes-frente/getPessoasProdutos/PESSOA/";
    token_de_acesso = u"demoAccessKeyX";
    regPorTrafego.clear();
    StrRetornoStatus.clear();
    timer_de_espera_sincronismo = 0;
    timer_de_espera_multiplo = 0;
    chvA = u"{";
    chvF = u"}";
    MatrizJson.clear();
    confirmation_path_ = people_confirmation;
}

bool Tger_API::get_Status()
{
    if (timer_de_espera_sincronismo != 0) {
        // A deadline equal to the current second still waits.
        if (!(timer_de_espera_sincronismo < clock())) return false;
        timer_de_espera_sincronismo = 0;
    }
    clientStatus.BaseURL = urlBase + urlGetStatus;
    reqStatus.Method = "GET";
    reqStatus.Authorization = bearer_of(token_de_acesso);
    try {
        reqStatus.Execute();
        StrRetornoStatus = respStatus.compact_text().substr(0, 10);
    } catch (const std::exception& failure) {
        StrRetornoStatus = message_of(failure);
    }
    if (StrRetornoStatus == u"200") {
        timer_de_espera_sincronismo = 0;
        timer_de_espera_multiplo = 0;
        return true;
    }
    timer_de_espera_multiplo = std::min(timer_de_espera_multiplo + 1, backoff_max_count);
    timer_de_espera_sincronismo = clock() + timer_de_espera_multiplo * backoff_step_seconds;
    return false;
}

std::u16string Tger_API::load_dados_Produtos(std::u16string_view porData_porTodos, std::u16string_view utimoId)
{
    return answer_text(load_page(rClient_get_produtos, rRequest_get_produtos, rResponse_get_produtos, tblProdutos,
                                 rAdapter_get_Produtos, urlGetDadosProdutos, regPorTrafego, porData_porTodos, utimoId),
                       utimoId);
}

PageAnswer Tger_API::take_products_page(std::u16string_view porData_porTodos, std::u16string_view utimoId)
{
    PageAnswer answer = load_page(rClient_get_produtos, rRequest_get_produtos, rResponse_get_produtos, tblProdutos,
                                  rAdapter_get_Produtos, urlGetDadosProdutos, regPorTrafego, porData_porTodos, utimoId);
    if (auto* rows = std::get_if<PageRows>(&answer)) tblProdutos.move_rows_to(rows->table);
    return answer;
}

std::u16string Tger_API::load_dados_Pessoas(std::u16string_view porData_porTodos, std::u16string_view utimoId)
{
    return answer_text(load_page(rClient_get_Pessoas, rRequest_get_pessoas, rResponse_get_pessoas, tblPessoas,
                                 rAdapter_get_pessoas, urlGetDadosPessoas, u"500", porData_porTodos, utimoId),
                       utimoId);
}

PageAnswer Tger_API::load_page(RestClient& client, RestRequest& request, RestResponse& response,
                               const MemoryTable& table, RestTableAdapter& adapter, std::u16string_view path,
                               std::u16string_view page_size, std::u16string_view selection,
                               std::u16string_view start_id)
{
    if (!get_Status())
        return ErrorAnswer{u"ERRO-Status: Servidor-API não responde (" + urlBase + urlGetStatus + u") " +
                           StrRetornoStatus};
    client.BaseURL = urlBase + std::u16string(path) + url_path_segment(page_size) + u"/" + url_path_segment(selection) +
                     u"/" + url_path_segment(start_id);
    request.Method = "GET";
    request.Authorization = bearer_of(token_de_acesso);
    try {
        request.Execute();  // the adapter rebuilds the table from the answer
        adapter.Activate();
        Memo = response.compact_text();
        std::u16string verdict = deu_erro_api(Memo);
        if (verdict != u"OK") return ErrorAnswer{std::move(verdict)};
        if (!is_success_status(response.StatusCode())) return RefusedStatus{response.StatusCode()};
        return PageRows{MemoryTable(table.name())};
    } catch (const std::exception& failure) {
        return TransportFailure{message_of(failure)};
    }
}

std::u16string Tger_API::envia_confirmacao_de_dados(std::u16string_view qualConfirma)
{
    const std::u16string which = ascii_lower(qualConfirma);
    if (which == u"clientes") confirmation_path_ = people_confirmation;
    if (which == u"produtos") confirmation_path_ = products_confirmation;
    rClient_post_Ok_dados.BaseURL = urlBase + confirmation_path_;
    rRequest_post_Ok_dados.Method = "POST";
    rRequest_post_Ok_dados.Authorization = bearer_of(token_de_acesso);
    try {
        rRequest_post_Ok_dados.Execute();
        return u"OK";
    } catch (const std::exception& failure) {
        return u"ERRO:" + message_of(failure);
    }
}

void Tger_API::stop_requests_on(const std::stop_token& stop)
{
    for (RestRequest* request : {&reqStatus, &rRequest_get_produtos, &rRequest_get_pessoas, &rRequest_post_Ok_dados})
        request->stop = stop;
}

void Tger_API::use_request(const RunRequest& request)
{
    token_de_acesso = request.token;
    regPorTrafego = request.page_size;
}

std::unique_ptr<Tger_API> Tger_API::client_for(const RunRequest& request) const
{
    auto client = std::make_unique<Tger_API>();
    client->clock = clock;
    client->urlBase = urlBase;
    client->urlGetStatus = urlGetStatus;
    client->urlGetDadosProdutos = urlGetDadosProdutos;
    client->urlGetDadosPessoas = urlGetDadosPessoas;
    client->reqStatus.Timeout = reqStatus.Timeout;
    client->rRequest_get_produtos.Timeout = rRequest_get_produtos.Timeout;
    client->rRequest_get_pessoas.Timeout = rRequest_get_pessoas.Timeout;
    client->rRequest_post_Ok_dados.Timeout = rRequest_post_Ok_dados.Timeout;
    client->follow_status_backoff(*this);
    client->use_request(request);
    return client;
}

void Tger_API::follow_status_backoff(const Tger_API& other)
{
    StrRetornoStatus = other.StrRetornoStatus;
    timer_de_espera_sincronismo = other.timer_de_espera_sincronismo;
    timer_de_espera_multiplo = other.timer_de_espera_multiplo;
}

void Tger_API::Monta_matriz_json(std::u16string_view textIn, int qualCampo, int MaximoCampos)
{
    MatrizJson = scan_json_members(textIn, qualCampo, MaximoCampos, chvA, chvF);
}

std::u16string Tger_API::deu_erro_api(std::u16string_view ErroIn)
{
    return judge_response(ErroIn, &MatrizJson);
}
