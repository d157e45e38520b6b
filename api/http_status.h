#pragma once

// Whether the service took the request: any 2xx status. A body the checker
// accepts under another status is still a refusal.
constexpr bool is_success_status(long status)
{
    return status >= 200 && status <= 299;
}
