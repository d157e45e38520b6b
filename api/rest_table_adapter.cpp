#include "api/rest_table_adapter.h"

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
    table_.load_json([this](JsonEvents& events) { return response_.read_json(events); });
}
