#include "api/page_answer.h"

#include "util/number_text.h"

namespace {

template <typename... Rules> struct Overloaded : Rules... {
    using Rules::operator()...;
};
// Clang 14 deduces no aggregate's template arguments by itself.
template <typename... Rules> Overloaded(Rules...) -> Overloaded<Rules...>;

}  // namespace

std::u16string answer_text(const PageAnswer& answer, std::u16string_view start_id)
{
    return std::visit(Overloaded{
                          [](const PageRows&) { return std::u16string(u"OK"); },
                          [](const TransportFailure& failure) { return u"ERRO:" + failure.message; },
                          [](const ErrorAnswer& error) { return error.text; },
                          [start_id](const RefusedStatus& refused) {
                              return u"ERRO: o servico respondeu HTTP " + integer_to_text(refused.status) +
                                     u" a pagina iniciada no id " + std::u16string(start_id) +
                                     u"; importacao interrompida";
                          },
                      },
                      answer);
}
