#include "api/uGer_API.h"

#include "support/test_service.h"
#include "util/utf.h"

namespace {

const std::string products = "api/operacoes-frente/getPessoasProdutos/PRODUTO/";

ServiceOptions catalogue_of(std::size_t count)
{
    ServiceOptions options;
    options.catalogue.products = count;
    return options;
}

class GerApiTest : public ServiceTest {
protected:
    explicit GerApiTest(ServiceOptions options = catalogue_of(3)) : ServiceTest(std::move(options))
    {
        api.urlBase = utf8_to_utf16(service.base_url());
        api.token_de_acesso = u"tok";
        api.regPorTrafego = u"2";
    }

    std::string products_page(const std::string& segments) const { return "/" + products + segments; }

    Tger_API api;
};

TEST(GerApiCreation, BaseUrlComesFromTheEnvironmentAndEndsInASlash)
{
    struct {
        std::optional<std::string> environment;
        std::u16string expected;  // empty: the compiled-in default
    } cases[] = {
        {"https://x.example/base", u"https://x.example/base/"},
        {"https://y.example/", u"https://y.example/"},
        {std::nullopt, u""},
        {"", u""},
    };
    for (const auto& c : cases) {
        ScopedEnvironment environment("QUINTARA_BASE_URL", c.environment);
        Tger_API api;
        if (c.expected.empty()) {
            EXPECT_TRUE(api.urlBase.starts_with(u"https://")) << utf16_to_utf8(api.urlBase);
            EXPECT_TRUE(api.urlBase.ends_with(u"/")) << utf16_to_utf8(api.urlBase);
        } else {
            EXPECT_EQ(c.expected, api.urlBase);
        }
        EXPECT_EQ(u"demoAccessKeyX", api.token_de_acesso);
        EXPECT_EQ(u"{", api.chvA);
        EXPECT_EQ(u"}", api.chvF);
    }
}

TEST_F(GerApiTest, StatusIsJudgedByTheCompactBodyAlone)
{
    struct {
        int status;
        std::string body;
        std::string content_type;
        bool expected;
        std::u16string retorno;
    } cases[] = {
        {200, "200", "application/json", true, u"200"},
        {503, " 200\n", "text/plain", true, u"200"},
        {200, "\"200\"", "application/json", false, u"\"200\""},
        {200, "{\"status\":200}", "application/json", false, u"{\"status\":"},
        {200, "200.0", "application/json", false, u"200.0"},
        {200, "", "application/json", false, u"Response content is empty"},
        {200, "<html>up</html>", "text/html", false, u"Response content is not valid JSON"},
    };
    for (const auto& c : cases) {
        service.script("api/getStatus", {c.status, c.body, c.content_type});
        Tger_API fresh;
        fresh.urlBase = api.urlBase;
        fresh.clock = [] { return 1000; };
        EXPECT_EQ(c.expected, fresh.get_Status()) << c.body;
        EXPECT_EQ(c.retorno, fresh.StrRetornoStatus) << c.body;
        EXPECT_EQ(c.expected ? 0 : 1, fresh.timer_de_espera_multiplo) << c.body;
        EXPECT_EQ(c.expected ? 0 : 1180, fresh.timer_de_espera_sincronismo) << c.body;
    }
}

TEST_F(GerApiTest, StatusBackOffWaitsLongerAfterEachFailure)
{
    int now = 0;
    api.clock = [&now] { return now; };
    struct {
        int now;
        bool service_up;
        bool probes;  // a request reaches the service
        bool expected;
        int count;
        int deadline;
    } steps[] = {
        {36000, false, true, false, 1, 36180},  {36100, true, false, false, 1, 36180},
        {36180, true, false, false, 1, 36180},  // a deadline equal to now still waits
        {36181, false, true, false, 2, 36541},  {36542, true, true, true, 0, 0},
        {36543, false, true, false, 1, 36723},  {40000, false, true, false, 2, 40360},
        {41000, false, true, false, 3, 41540},  {42000, false, true, false, 4, 42720},
        {43000, false, true, false, 5, 43900},  {44000, false, true, false, 6, 45080},
        {46000, false, true, false, 7, 47260},  {48000, false, true, false, 8, 49440},
        {50000, false, true, false, 9, 51620},  {52000, false, true, false, 10, 53800},
        {54000, false, true, false, 10, 55800},  // never above 10 steps of 180 s
        {56000, true, true, true, 0, 0},        {56001, true, true, true, 0, 0},
    };
    for (const auto& s : steps) {
        now = s.now;
        if (s.service_up)
            service.clear_scripts();
        else
            service.script("api/getStatus", {503, "{\"message\":\"down\"}"});
        service.clear_received();
        EXPECT_EQ(s.expected, api.get_Status()) << s.now;
        EXPECT_EQ(s.probes, service.received().size() == 1) << s.now;
        EXPECT_EQ(s.count, api.timer_de_espera_multiplo) << s.now;
        EXPECT_EQ(s.deadline, api.timer_de_espera_sincronismo) << s.now;
    }
}

TEST_F(GerApiTest, PageIsParsedIntoTheTableWithItsControlRecord)
{
    EXPECT_EQ(u"OK", api.load_dados_Produtos(u"TODOS", u"0"));
    ASSERT_EQ(3u, api.tblProdutos.RecordCount());
    api.tblProdutos.First();
    EXPECT_EQ(1, api.tblProdutos.FieldByName(u"codigo").AsInteger());
    api.tblProdutos.Next();
    api.tblProdutos.Next();
    EXPECT_EQ(u"Bearer tok", api.tblProdutos.FieldByName(u"nome").AsString());
    EXPECT_EQ(2, api.tblProdutos.FieldByName(u"codigo").AsInteger());
    EXPECT_EQ(3, api.tblProdutos.FieldByName(u"apelidoProduto").AsInteger());
    EXPECT_TRUE(api.Memo.starts_with(u"[{\"codigo\":1,\"nome\":")) << utf16_to_utf8(api.Memo.substr(0, 40));

    EXPECT_EQ(u"OK", api.load_dados_Produtos(u"TODOS", u"2"));
    ASSERT_EQ(2u, api.tblProdutos.RecordCount());
    api.tblProdutos.First();
    EXPECT_EQ(3, api.tblProdutos.FieldByName(u"codigo").AsInteger());
    api.tblProdutos.Next();
    EXPECT_EQ(0, api.tblProdutos.FieldByName(u"codigo").AsInteger());

    auto received = service.received();
    ASSERT_EQ(4u, received.size());
    EXPECT_EQ("/api/getStatus", received[0].target);
    EXPECT_EQ(products_page("2/TODOS/0"), received[1].target);
    EXPECT_EQ(products_page("2/TODOS/2"), received[3].target);
}

TEST_F(GerApiTest, RequestsCarryExactlyTheAgreedHeadersOverOneConnection)
{
    api.token_de_acesso = u"a+b/c=";
    api.regPorTrafego = u"500";
    EXPECT_EQ(u"OK", api.load_dados_Produtos(u"TODOS", u"0"));
    EXPECT_EQ(u"OK", api.envia_confirmacao_de_dados(u"Produtos"));

    auto received = service.received();
    ASSERT_EQ(3u, received.size());
    const ReceivedRequest& page = received[1];
    EXPECT_EQ("GET", page.method);
    EXPECT_EQ(products_page("500/TODOS/0"), page.target);
    EXPECT_EQ("HTTP/1.1", page.version);
    for (const auto& r : received) {
        EXPECT_EQ("Bearer a+b/c=", r.header("Authorization")) << r.target;
        EXPECT_EQ("application/json, text/plain; q=0.9, text/html;q=0.8,", r.header("Accept")) << r.target;
        EXPECT_EQ("utf-8, *;q=0.8", r.header("Accept-Charset")) << r.target;
        EXPECT_TRUE(r.header("User-Agent").value_or("").starts_with("importador/")) << r.target;
        EXPECT_EQ(std::nullopt, r.header("Accept-Encoding")) << r.target;
        EXPECT_EQ(std::nullopt, r.header("Expect")) << r.target;
        EXPECT_EQ(received[0].remote_port, r.remote_port) << r.target;
    }
    EXPECT_EQ(std::nullopt, page.header("Content-Type"));
}

TEST_F(GerApiTest, ConfirmationPostsAnEmptyFormToTheChosenAddress)
{
    const std::string produto = "/api/operacoes-frente/updateData/PRODUTO";
    const std::string pessoa = "/api/operacoes-frente/updateData/PESSOA";
    struct {
        std::u16string which;
        std::string target;
    } cases[] = {
        {u"outros", pessoa},  // before any choice: the people address
        {u"Produtos", produto}, {u"PRODUTOS", produto}, {u"outros", produto},   {u"clientes", pessoa},
        {u"CliEntes", pessoa},  {u"", pessoa},          {u"produtos", produto},
    };
    service.script("api/operacoes-frente/updateData/PRODUTO", {500, "<html>broken</html>", "text/html"});
    for (const auto& c : cases) {
        service.clear_received();
        EXPECT_EQ(u"OK", api.envia_confirmacao_de_dados(c.which)) << utf16_to_utf8(c.which);
        auto received = service.received();
        ASSERT_EQ(1u, received.size());
        EXPECT_EQ("POST", received[0].method);
        EXPECT_EQ(c.target, received[0].target) << utf16_to_utf8(c.which);
        EXPECT_EQ("application/x-www-form-urlencoded", received[0].header("Content-Type"));
        EXPECT_EQ("0", received[0].header("Content-Length"));
        EXPECT_EQ("", received[0].body);
    }
}

TEST_F(GerApiTest, ErrorAnswersBecomeErrorTexts)
{
    struct {
        int status;
        std::string body;
        std::string content_type;
        std::u16string expected;
        bool table_open;
    } cases[] = {
        {401, "{\"message\":\"Unauthenticated.\"}", "application/json", u"ERRO: Unauthenticated.", true},
        {500, "{\"erro\":\"a/b\"}", "application/json", u"ERRO: a\\/b", true},
        {200, "[]", "application/json", u"OK", false},
        {200, "", "application/json", u"ERRO:Response content is empty", false},
        // A number the table cannot hold fails only its own cell.
        {200, "[{\"codigo\":123456789012345678901}]", "application/json", u"OK", true},
        // A body the checker accepts is still refused under an error status.
        {503, "[]", "application/json",
         u"ERRO: o servico respondeu HTTP 503 a pagina iniciada no id 0; importacao interrompida", false},
        {500, "[{\"codigo\":1,\"nome\":\"A\"}]", "application/json",
         u"ERRO: o servico respondeu HTTP 500 a pagina iniciada no id 0; importacao interrompida", true},
        {401, "{\"error\":\"invalid token\"}", "application/json",
         u"ERRO: o servico respondeu HTTP 401 a pagina iniciada no id 0; importacao interrompida", true},
        {429, "{\"erro\":\"limite excedido\"}", "application/json", u"ERRO: limite excedido", true},
    };
    for (const auto& c : cases) {
        service.script(products + "2/TODOS/0", {c.status, c.body, c.content_type});
        EXPECT_EQ(c.expected, api.load_dados_Produtos(u"TODOS", u"0")) << c.body;
        EXPECT_EQ(c.table_open, api.tblProdutos.Active()) << c.body;
    }
}

TEST_F(GerApiTest, PageThatIsNotJsonKeepsThePreviousRows)
{
    ASSERT_EQ(u"OK", api.load_dados_Produtos(u"TODOS", u"0"));
    const std::u16string memo = api.Memo;
    service.script(products + "2/TODOS/2", {502, "<html><body>Bad gateway</body></html>", "text/html"});
    EXPECT_EQ(u"ERRO:Response content is not valid JSON", api.load_dados_Produtos(u"TODOS", u"2"));
    EXPECT_EQ(3u, api.tblProdutos.RecordCount());
    EXPECT_EQ(memo, api.Memo);
}

TEST_F(GerApiTest, UnreachableServiceFailsTheStatusProbe)
{
    {
        QuintaraService gone;
        api.urlBase = utf8_to_utf16(gone.base_url());
    }
    const std::u16string prefix =
        u"ERRO-Status: Servidor-API não responde (" + api.urlBase + u"api/getStatus) REST request failed: ";
    std::u16string result = api.load_dados_Produtos(u"TODOS", u"0");
    EXPECT_TRUE(result.starts_with(prefix)) << utf16_to_utf8(result);
    EXPECT_EQ(u"REST request failed: ", api.StrRetornoStatus.substr(0, 21));
    EXPECT_TRUE(api.envia_confirmacao_de_dados(u"Produtos").starts_with(u"ERRO:REST request failed: "));
}

TEST_F(GerApiTest, CertificateFromAnUntrustedAuthorityIsRefused)
{
    ScopedEnvironment system_store_only("CURL_CA_BUNDLE", std::nullopt);
    EXPECT_FALSE(api.get_Status());
    EXPECT_EQ(u"REST request failed: ", api.StrRetornoStatus.substr(0, 21)) << utf16_to_utf8(api.StrRetornoStatus);
    EXPECT_TRUE(service.received().empty());
}

TEST_F(GerApiTest, RedirectsAreFollowedAndTheTokenStaysWithItsHost)
{
    const std::string port = std::to_string(service.port());
    struct {
        std::string location;
        std::string host;
        std::optional<std::string> authorization;
    } cases[] = {
        {"https://127.0.0.1:" + port + "/moved/status", "127.0.0.1:" + port, "Bearer tok"},
        {"https://localhost:" + port + "/moved/status", "localhost:" + port, std::nullopt},
    };
    service.script("moved/status", {200, "200"});
    for (const auto& c : cases) {
        ScriptedAnswer redirect{302, ""};
        redirect.location = c.location;
        service.script("api/getStatus", redirect);
        service.clear_received();
        EXPECT_TRUE(api.get_Status()) << c.location;
        auto received = service.received();
        ASSERT_EQ(2u, received.size());
        EXPECT_EQ("/moved/status", received[1].target);
        EXPECT_EQ(c.host, received[1].header("Host"));
        EXPECT_EQ(c.authorization, received[1].header("Authorization")) << c.location;
    }
}

TEST_F(GerApiTest, PathSegmentsCannotLeaveTheirPlace)
{
    struct {
        std::u16string page_size;
        std::u16string start_id;
        std::string target;
    } cases[] = {
        {u"5/../x?y#z", u"0", products_page("5%2F..%2Fx%3Fy%23z/TODOS/0")},
        {u"", u"0", products_page("/TODOS/0")},
        {u"..", u"0", products_page("%2E%2E/TODOS/0")},
        {u"2", u"0 OR 1=1", products_page("2/TODOS/0%20OR%201=1")},
        {u"çã%", u"0", products_page("%C3%A7%C3%A3%25/TODOS/0")},
    };
    for (const auto& c : cases) {
        api.regPorTrafego = c.page_size;
        service.clear_received();
        api.load_dados_Produtos(u"TODOS", c.start_id);
        auto received = service.received();
        ASSERT_EQ(2u, received.size());
        EXPECT_EQ(c.target, received[1].target) << utf16_to_utf8(c.page_size);
    }
}

TEST_F(GerApiTest, BodyIsDecodedByItsCharset)
{
    struct {
        std::string body;
        std::string content_type;
        std::u16string nome;
    } cases[] = {
        {"[{\"nome\":\"P\xE3o D'Ouro\"}]", "application/json; charset=iso-8859-1", u"Pão D'Ouro"},
        {"[{\"nome\":\"\x80 A\xC7OUGUE\"}]", "application/json; charset=\"Windows-1252\"", u"€ AÇOUGUE"},
        {"[{\"nome\":\"P\xC3\xA3o\"}]", "application/json", u"Pão"},
        {"\xEF\xBB\xBF[{\"nome\":\"P\xC3\xA3o\"}]", "application/json; charset=UTF-8", u"Pão"},
        {"[{\"nome\":\"P\xE3o\"}]", "text/plain;charset=latin1", u"Pão"},
    };
    for (const auto& c : cases) {
        service.script(products + "2/TODOS/0", {200, c.body, c.content_type});
        ASSERT_EQ(u"OK", api.load_dados_Produtos(u"TODOS", u"0")) << c.content_type;
        api.tblProdutos.First();
        EXPECT_EQ(c.nome, api.tblProdutos.FieldByName(u"nome").AsString()) << c.content_type;
        EXPECT_EQ(u"[{\"nome\":\"" + c.nome + u"\"}]", api.Memo) << c.content_type;
    }
}

TEST_F(GerApiTest, PeoplePagesUseTheirOwnAddressAndTable)
{
    EXPECT_EQ(u"OK", api.load_dados_Pessoas(u"TODOS", u"0"));
    auto received = service.received();
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ("/api/operacoes-frente/getPessoasProdutos/PESSOA/500/TODOS/0", received[1].target);
    EXPECT_FALSE(api.tblPessoas.Active());
    EXPECT_FALSE(api.tblProdutos.Active());
}

}  // namespace
