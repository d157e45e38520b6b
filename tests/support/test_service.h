#pragma once

#include "tools/quintara_service.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the life of the object (nullopt unsets
// it) and puts the old value back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name))
    {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        if (value)
            setenv(name_.c_str(), value->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ~ScopedEnvironment()
    {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// The substitute service on a free loopback port, trusted through
// CURL_CA_BUNDLE while the test runs and stopped when it ends.
class ServiceTest : public ::testing::Test {
protected:
    explicit ServiceTest(ServiceOptions options = {}) : service(std::move(options)) { }

    QuintaraService service;
    ScopedEnvironment trust{"CURL_CA_BUNDLE", service.ca_file().string()};
    // A proxy configured on the machine must not stand between the test
    // and its loopback service.
    ScopedEnvironment direct{"no_proxy", "127.0.0.1,localhost"};

    std::string url(const std::string& path) const { return service.base_url() + path; }
};
