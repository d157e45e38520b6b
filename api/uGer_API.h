#pragma once

#include "api/memory_table.h"
#include "api/page_answer.h"
#include "api/rest_client.h"
#include "api/rest_request.h"
#include "api/rest_response.h"
#include "api/rest_table_adapter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

struct RunRequest;

// The API form ger_API: the program's only client of the web service. It
// probes the service status with a back-off, fetches pages into tblProdutos
// and tblPessoas, and confirms receipt. Every operation reports its outcome
// as text ("OK" or "ERRO..."), never as an exception.
class Tger_API {
public:
    Tger_API();  // runs FormCreate
    Tger_API(const Tger_API&) = delete;
    Tger_API& operator=(const Tger_API&) = delete;

    void FormCreate();
    bool get_Status();
    std::u16string load_dados_Produtos(std::u16string_view porData_porTodos, std::u16string_view utimoId);
    // load_dados_Produtos's answer as a value, the rows taken out of
    // tblProdutos into it.
    PageAnswer take_products_page(std::u16string_view porData_porTodos, std::u16string_view utimoId);
    std::u16string load_dados_Pessoas(std::u16string_view porData_porTodos, std::u16string_view utimoId);
    std::u16string envia_confirmacao_de_dados(std::u16string_view qualConfirma);
    void Monta_matriz_json(std::u16string_view textIn, int qualCampo, int MaximoCampos);
    std::u16string deu_erro_api(std::u16string_view ErroIn);
    // A stop asked on `stop` ends whichever request is in flight, on any
    // thread, and fails every later one at once; a default token lifts it.
    void stop_requests_on(const std::stop_token& stop);

    // The token and page size the run's request names.
    void use_request(const RunRequest& request);
    // A client of its own for another thread, for `request`'s run: this
    // one's service, paths, time limits and clock, its status back-off where
    // this one's stands.
    std::unique_ptr<Tger_API> client_for(const RunRequest& request) const;
    // Takes over where `other`'s status back-off stands, once `other` has
    // served in this one's place.
    void follow_status_backoff(const Tger_API& other);

    // Second of the day, for the back-off; replaceable by tests.
    std::function<int()> clock;

    std::u16string urlBase;
    std::u16string urlGetStatus;
    std::u16string urlGetDadosProdutos;
    std::u16string urlGetDadosPessoas;
    std::u16string token_de_acesso;
    std::u16string regPorTrafego;
    std::u16string StrRetornoStatus;
    std::int32_t timer_de_espera_sincronismo = 0;
    std::int32_t timer_de_espera_multiplo = 0;
    std::u16string chvA;
    std::u16string chvF;
    std::vector<std::u16string> MatrizJson;
    std::u16string Memo;

    MemoryTable tblProdutos{u"tblProdutos"};
    MemoryTable tblPessoas{u"tblPessoas"};

private:
    std::shared_ptr<HttpConnectionCache> connections_ = std::make_shared<HttpConnectionCache>();

public:
    RestClient clientStatus{connections_};
    RestResponse respStatus;
    RestRequest reqStatus{clientStatus, respStatus, std::chrono::milliseconds(3000)};

    RestClient rClient_get_produtos{connections_};
    RestResponse rResponse_get_produtos;
    RestRequest rRequest_get_produtos{rClient_get_produtos, rResponse_get_produtos, std::chrono::milliseconds(30000)};
    RestTableAdapter rAdapter_get_Produtos{rResponse_get_produtos, tblProdutos};

    RestClient rClient_get_Pessoas{connections_};
    RestResponse rResponse_get_pessoas;
    RestRequest rRequest_get_pessoas{rClient_get_Pessoas, rResponse_get_pessoas, std::chrono::milliseconds(30000)};
    RestTableAdapter rAdapter_get_pessoas{rResponse_get_pessoas, tblPessoas};

    RestClient rClient_post_Ok_dados{connections_};
    RestResponse rResponse_post_Ok_dados;
    RestRequest rRequest_post_Ok_dados{rClient_post_Ok_dados, rResponse_post_Ok_dados,
                                       std::chrono::milliseconds(30000)};

private:
    // The rows stay in `table`, where the adapter puts them; the answer's
    // table is a closed one of the same name.
    PageAnswer load_page(RestClient& client, RestRequest& request, RestResponse& response, const MemoryTable& table,
                         RestTableAdapter& adapter, std::u16string_view path, std::u16string_view page_size,
                         std::u16string_view selection, std::u16string_view start_id);

    std::u16string confirmation_path_;
};
