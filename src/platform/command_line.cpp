#include "platform/child_process.h"

namespace platform {

namespace {

bool NeedsQuotes(const std::string& arg)
{
    if (arg.empty()) return true;
    for (unsigned char c : arg) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                     c == '=';
        if (!plain) return true;
    }
    return false;
}

// Backslashes are literal unless they come before a quote (or the closing quote): then
// they are doubled, and the quote itself escaped.
std::string Quote(const std::string& arg)
{
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

} // namespace

std::string CommandLine(const std::filesystem::path& program, const std::vector<std::string>& args)
{
    std::string line = Quote(program.string());
    for (const auto& arg : args) line += " " + (NeedsQuotes(arg) ? Quote(arg) : arg);
    return line;
}

} // namespace platform
