// GET /reverseproxy/frpc.exe: the stand-in tunnel client built for this machine, so the
// plugin's download flow installs a client that works with the demo proxies. With a rate it
// comes in tenth-of-a-second slices, so the download's progress can be watched.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "service.h"

namespace demo {

namespace {

// Writes the part of bytes from offset on, at most one slice, pausing first when throttled.
bool WriteSlice(const std::string& bytes, size_t offset, int rateKiB, httplib::DataSink& sink)
{
    const size_t slice = rateKiB > 0 ? std::max<size_t>(1, static_cast<size_t>(rateKiB) * 1024 / 10) : bytes.size();
    if (rateKiB > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const size_t count = std::min(slice, bytes.size() - offset);
    return sink.write(bytes.data() + offset, count);
}

} // namespace

void RegisterTunnelClientDownloadRoutes(httplib::Server& server, const ServiceContext& context)
{
    std::filesystem::path path = context.tunnelClientPath;
    const int rate = context.downloadRateKiB;
    const bool chunked = context.downloadChunked;
    server.Get("/reverseproxy/frpc.exe", [path, rate, chunked](const httplib::Request&, httplib::Response& response) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            response.status = 404;
            response.set_content("no tunnel client at " + path.string(), "text/plain");
            return;
        }
        auto bytes = std::make_shared<std::string>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (rate == 0 && !chunked) {
            response.set_content(std::move(*bytes), "application/octet-stream");
            return;
        }
        if (chunked) {
            response.set_chunked_content_provider("application/octet-stream", [bytes, rate](size_t offset, httplib::DataSink& sink) {
                if (offset >= bytes->size()) {
                    sink.done();
                    return true;
                }
                return WriteSlice(*bytes, offset, rate, sink);
            });
            return;
        }
        response.set_content_provider(bytes->size(), "application/octet-stream",
                                      [bytes, rate](size_t offset, size_t, httplib::DataSink& sink) {
                                          return WriteSlice(*bytes, offset, rate, sink);
                                      });
    });
}

} // namespace demo
