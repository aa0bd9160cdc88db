#pragma once
// Sends a request through the host and routes its one answer to a success callback
// (expected status) or an error callback with a readable text.
#include <exception>
#include <functional>
#include <string>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "plugin/quoted_body.h"

namespace http_utils {

template <typename T>
struct ParsedResponse {
    std::string error;
    T value{};
    bool success = false;
};

// The body as one strict JSON document converted by FromJson(json, T&).
template <typename T>
ParsedResponse<T> ParseResponse(const std::string& body)
{
    ParsedResponse<T> parsed;
    try {
        FromJson(nlohmann::json::parse(body), parsed.value);
        parsed.success = true;
    } catch (const std::exception& error) {
        parsed = ParsedResponse<T>{};
        parsed.error = fmt::format("Body was: {}\n Exception: {}", QuotedBody(body), error.what());
    }
    return parsed;
}

std::string RequestFailedText(int status, const std::string& body);

// An error callback left empty is skipped rather than thrown into the host's HTTP thread.
void HandleRequest(int expectedStatus, const CurlRequest& request, std::function<void()> onSuccess,
                   std::function<void(std::string)> onError);

template <typename T>
void HandleRequest(int expectedStatus, const CurlRequest& request, std::function<void(const T&)> onSuccess,
                   std::function<void(std::string)> onError)
{
    HttpWrapper::SendCurlJsonRequest(
        request, [expectedStatus, onSuccess = std::move(onSuccess), onError = std::move(onError)](int status, std::string body) {
            if (status != expectedStatus) {
                if (onError) onError(RequestFailedText(status, body));
                return;
            }
            ParsedResponse<T> parsed = ParseResponse<T>(body);
            if (parsed.success) {
                if (onSuccess) onSuccess(parsed.value);
            } else if (onError) {
                onError(parsed.error);
            }
        });
}

} // namespace http_utils
