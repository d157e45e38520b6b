#pragma once

#include "http/transport.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class JsonEvents;

// The last answer of one endpoint. Its body is kept once, as received; who
// needs its JSON reads it as a stream of events, so even a large page never
// stands in memory as a value tree.
class RestResponse {
public:
    // A new answer: forgets the previous one, then tells the listeners.
    void assign(HttpResult result);
    // Called after every new answer; a listener's failure leaves assign().
    void on_new_answer(std::function<void()> listener);

    long StatusCode() const { return result_.status; }
    std::string ContentType() const { return result_.header("Content-Type"); }
    bool empty() const { return result_.body.empty(); }

    // Reports the body's JSON to `events`: UTF-8 straight from the bytes,
    // other charsets decoded first. False when the body is empty or no JSON.
    // The first read of an answer writes its compact text on the way.
    bool read_json(JsonEvents& events) const;
    // The body's compact JSON text; throws Error when it has no JSON value.
    // The text written by a read is handed over, not copied, so a page is
    // read once for its table and its text.
    std::u16string compact_text() const;

private:
    bool read_body(JsonEvents& events) const;

    HttpResult result_;
    mutable std::optional<std::u16string> compact_text_;  // the current answer's, once read
    std::vector<std::function<void()>> listeners_;
};
