#include "lobby/lobby_address.h"

namespace lobby {

bool IsPlainHostAddress(const std::string& address)
{
    if (address.empty()) return false;
    for (unsigned char c : address) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '.' && c != '-') return false;
    }
    return true;
}

} // namespace lobby
