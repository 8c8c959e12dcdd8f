// Environment variables of the test process, the same way on Linux and under Windows.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace ostrel::testing {

inline void setVariable(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void unsetVariable(const char *name) {
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

inline std::optional<std::string> variable(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace ostrel::testing
