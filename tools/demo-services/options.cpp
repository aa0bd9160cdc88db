#include "options.h"

#include <charconv>
#include <vector>

namespace demo {

std::string UsageText()
{
    return "usage: demo-services [--address ADDR] [--port PORT] [--data-dir DIR]\n"
           "\n"
           "Serves the plugin's remote services on one HTTP server.\n"
           "  --address ADDR   address to listen on (default 127.0.0.1)\n"
           "  --port PORT      port (default 47801; 0 picks a free one and prints it)\n"
           "  --data-dir DIR   folder for the services' files (default ./demo-services-data)\n"
           "  -h, --help       show this text\n";
}

ParseResult ParseOptions(int argc, char** argv)
{
    ParseResult result;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "-h" || arg == "--help") {
            result.options.help = true;
        } else if (arg == "--address" && hasValue && !args[i + 1].empty()) {
            result.options.address = args[++i];
        } else if (arg == "--port" && hasValue) {
            const std::string& text = args[++i];
            int port = -1;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
            if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
                result.error = "--port needs a number from 0 to 65535, not '" + text + "'";
                return result;
            }
            result.options.port = port;
        } else if (arg == "--data-dir" && hasValue && !args[i + 1].empty()) {
            result.options.dataDir = args[++i];
        } else if (arg == "--address" || arg == "--port" || arg == "--data-dir") {
            result.error = arg + " needs a value";
            return result;
        } else {
            result.error = "unknown argument " + arg;
            return result;
        }
    }
    return result;
}

} // namespace demo
