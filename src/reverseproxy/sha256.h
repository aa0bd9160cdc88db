#pragma once
// SHA-256, to check a downloaded tunnel client against the digest the build expects.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string HexDigest();

    static std::string Of(const std::string& data);

private:
    void Block(const unsigned char* block);

    std::array<std::uint32_t, 8> state;
    unsigned char buffer[64];
    std::size_t buffered = 0;
    std::uint64_t totalBytes = 0;
};
