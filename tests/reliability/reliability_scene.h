#pragma once
// Shared by the reliability programs: server addresses, the expected texts, the run count and seed taken
// from the environment, and a results file that tools/reliability reads.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/e2e/update_scene.h"

namespace reliability {

// With the system's unseeded generator the worker's first draw is always 152.
inline constexpr const char* temporary_name = "SHtemp152.exe";

inline std::string nginx_url(const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(e2e::server_port("nginx")) + path;
}

inline std::string fault_url(const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(e2e::server_port("fault")) + path;
}

// The bytes every fault-server body holds: position modulo 251.
inline std::string body_of(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>(i % 251);
    return body;
}

inline long environment_number(const char* name, long fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// RELIABILITY_LONG=1 selects the long form (more runs, a stall past a minute).
inline bool long_form()
{
    return environment_number("RELIABILITY_LONG", 0) != 0;
}

// One "key=value" line appended to RELIABILITY_RESULTS, when set, for tools/reliability.
inline void record_result(const std::string& line)
{
    if (const char* path = std::getenv("RELIABILITY_RESULTS"); path && *path) {
        std::ofstream out(path, std::ios::app);
        out << line << "\n";
    }
}

} // namespace reliability
