#pragma once

#include "api/http_transport.h"
#include "api/json_value.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The last answer of one endpoint. Its JSON value is read once per answer
// and shared by everyone who looks at it.
class RestResponse {
public:
    // A new answer: forgets the previous one, then tells the listeners.
    void assign(HttpResult result);
    // Called after every new answer; a listener's failure leaves assign().
    void on_new_answer(std::function<void()> listener);

    long StatusCode() const { return result_.status; }
    std::string ContentType() const { return result_.header("Content-Type"); }
    const std::string& RawBytes() const { return result_.body; }
    bool empty() const { return result_.body.empty(); }
    std::u16string Content() const;  // decoded by the Content-Type's charset

    // The body read as one JSON value; null when empty or not JSON.
    const JsonValue* json_value() const;
    // Its compact JSON text; throws Error when there is no JSON value.
    std::u16string compact_text() const;
    // Frees the parsed value once nobody needs it (it is read again on
    // demand); a large page should not sit in memory twice.
    void release_json() { json_.reset(); }

private:
    HttpResult result_;
    mutable std::optional<std::optional<JsonValue>> json_;
    std::vector<std::function<void()>> listeners_;
};
