// An environment variable set (or removed) for the life of an object, for tests of what the
// program reads from its environment. POSIX.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace palomix::testing {

class ScopedEnvironment {
public:
    // Sets the variable, or removes it with nullopt; the old value comes back at the end.
    ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnvironment() { Set(old_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace palomix::testing
