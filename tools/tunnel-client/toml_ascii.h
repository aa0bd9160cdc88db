#pragma once
// toml++ 3.3 reaches an unreachable branch (undefined behaviour) when it asks whether some
// characters above U+007F are white space, which it does in several places of valid and invalid
// files alike. The reader therefore hands it only ASCII: the same document with every other
// character written as an escape, which keeps every value exactly as it was.
#include <string>

namespace tunnel {

struct AsciiToml {
    std::string text;       // the document in ASCII, when refusedLine is 0
    int refusedLine = 0;    // the line of the first character TOML does not allow, or 0
    std::string reason;     // why it is refused
};

// Basic strings get \uXXXX or \UXXXXXXXX escapes; a literal string that holds such characters
// becomes the basic string of the same value; comments keep an ASCII stand-in for each. Refused:
// invalid UTF-8 anywhere, a character above U+007F outside strings and comments, and a backslash
// followed by one in a basic string (no TOML escape starts with one).
AsciiToml ToAsciiToml(const std::string& text);

} // namespace tunnel
