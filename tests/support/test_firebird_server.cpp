#include "support/test_firebird_server.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<FirebirdServer> the_server;

// Stops the server after the last test, whatever the tests did to it.
class StopServerAtEnd : public ::testing::Environment {
public:
    void TearDown() override { the_server.reset(); }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new StopServerAtEnd);

}  // namespace

FirebirdServer& firebird_server()
{
    if (!the_server)
        the_server = std::make_unique<FirebirdServer>();
    else
        the_server->start();  // a test may have left it killed
    return *the_server;
}
