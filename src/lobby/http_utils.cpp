#include "lobby/http_utils.h"

namespace http_utils {

std::string RequestFailedText(int status, const std::string& body) { return fmt::format("Request failed({}): {}", status, QuotedBody(body)); }

void HandleRequest(int expectedStatus, const CurlRequest& request, std::function<void()> onSuccess,
                   std::function<void(std::string)> onError)
{
    HttpWrapper::SendCurlJsonRequest(
        request, [expectedStatus, onSuccess = std::move(onSuccess), onError = std::move(onError)](int status, std::string body) {
            if (status == expectedStatus) {
                if (onSuccess) onSuccess();
            } else if (onError) {
                onError(RequestFailedText(status, body));
            }
        });
}

} // namespace http_utils
