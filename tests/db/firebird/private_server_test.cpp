// The private server the tests reach databases through: it keeps what was
// committed across a crash and a restart on the same port, and it does not
// outlive a test program that dies.
#include "support/test_firebird_server.h"

#include <gtest/gtest.h>

#include "support/failure_message.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "util/utf.h"

#include <arpa/inet.h>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

bool accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

TEST(FirebirdServer, KilledServerComesBackOnTheSamePortWithWhatWasCommitted)
{
    TestDatabase db;
    FirebirdServer& server = firebird_server();
    const std::string name = server.database_name(db.file);
    const int port = server.port();
    execute_statements(name, {u"insert into Departamentos values (1, 'GUARDADO', '99', '0')"});
    const auto select = u"select cod_dep, nom_dep from Departamentos";

    server.kill();
    EXPECT_FALSE(server.running());
    EXPECT_NE(u"(no error)", failure_message([&] { read_rows(name, select); }));

    server.start();
    EXPECT_EQ(port, server.port());
    EXPECT_EQ((std::vector<std::vector<std::u16string>>{{u"1", u"GUARDADO"}}), read_rows(name, select));
}

TEST(FirebirdServerDeathTest, ServerDiesWithTheProgramThatStartedIt)
{
    TempDir dir;
    EXPECT_DEATH(
        {
            FirebirdServer own;
            write_file_bytes(dir / "started", std::to_string(own.port()) + " " + own.root().string());
            std::abort();  // no destructor runs
        },
        "");

    const auto started = read_file_bytes(dir / "started");
    int port = 0;
    ASSERT_EQ(std::errc{}, std::from_chars(started.data(), started.data() + started.size(), port).ec) << started;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (accepts(port) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(accepts(port)) << "the server on port " << port << " outlived its program";

    // Only now: without its root the server would end anyway.
    const std::filesystem::path root = started.substr(started.find(' ') + 1);
    ASSERT_EQ(std::filesystem::temp_directory_path(), root.parent_path()) << started;
    std::filesystem::remove_all(root);  // the program died before its own clean-up
}

}  // namespace
