#include "api/http_rest_adapter.h"

#include "util/error.h"

RestTableAdapter::RestTableAdapter(RestResponse& response, MemoryTable& table) : response_(response), table_(table)
{
    response_.on_new_answer([this] { rebuild(); });
}

void RestTableAdapter::Activate()
{
    if (!table_.Active()) rebuild();
}

void RestTableAdapter::rebuild()
{
    if (response_.empty()) {
        table_.Close();
        return;
    }
    const JsonValue* value = response_.json_value();
    if (!value) throw Error(u"Response content is not valid JSON");
    table_.load(*value);
}
