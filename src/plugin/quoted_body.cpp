#include "plugin/quoted_body.h"

std::string QuotedBody(const std::string& body)
{
    if (body.size() <= kQuotedBodyLimit) return body;
    std::size_t cut = kQuotedBodyLimit;
    // Back off over continuation bytes so the quote ends before a whole character, not inside one.
    for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80; ++i) --cut;
    return body.substr(0, cut) + "... (" + std::to_string(body.size() - cut) + " more bytes left out)";
}
