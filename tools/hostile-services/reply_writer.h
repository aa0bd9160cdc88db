#pragma once
// Writes one hostile reply on an accepted connection and closes it.
#include <cstddef>
#include <string>

#include "hostile_replies.h"

namespace hostile {

struct WriterSettings {
    std::size_t hugeBytes = std::size_t{100} << 20; // --huge-bytes
    int dripMs = 1000;                              // --drip-ms: the pause before each byte
    std::size_t dripBytes = 30;                     // --drip-bytes: the length of a dripped body
    std::string selfAddress;                        // host:port of these services
};

// Reads the request, answers it with the next kind for its endpoint and closes the socket.
// Returns a line for the log: method, target, endpoint and what it was given.
std::string ServeConnection(int client, KindCycle& kinds, const WriterSettings& settings);

} // namespace hostile
