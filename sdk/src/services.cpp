// The process-wide service registry and the wrappers that go through it.
#include <mutex>

#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/ImageWrapper.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"

namespace bakkesmod::host {

namespace {
std::mutex registryMutex;
std::shared_ptr<HttpService> installedHttp;
std::shared_ptr<ImageService> installedImages;
} // namespace

void installHttpService(std::shared_ptr<HttpService> service)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    installedHttp = std::move(service);
}

void installImageService(std::shared_ptr<ImageService> service)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    installedImages = std::move(service);
}

std::shared_ptr<HttpService> httpService()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return installedHttp;
}

std::shared_ptr<ImageService> imageService()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return installedImages;
}

} // namespace bakkesmod::host

namespace {

void send(CurlRequest request, bool json, std::function<void(int, std::string)> done)
{
    auto service = bakkesmod::host::httpService();
    if (!service) {
        // No host HTTP: the request cannot go out, but its caller still gets its one answer.
        if (done) done(bakkesmod::host::kHttpTransportFailure, "");
        return;
    }
    service->send(request, json, done ? std::move(done) : [](int, std::string) {});
}

} // namespace

void HttpWrapper::SendCurlRequest(CurlRequest request, std::function<void(int, std::string)> done)
{
    send(std::move(request), false, std::move(done));
}

void HttpWrapper::SendCurlJsonRequest(CurlRequest request, std::function<void(int, std::string)> done)
{
    send(std::move(request), true, std::move(done));
}

ImageWrapper::ImageWrapper(std::string path, bool, bool imguiLoad) : path(std::move(path))
{
    if (imguiLoad) load();
}

void ImageWrapper::load()
{
    if (attempted) return;
    attempted = true;
    if (auto service = bakkesmod::host::imageService()) image = service->load(path);
}

void* ImageWrapper::GetImGuiTex()
{
    load();
    return image ? image->texture : nullptr;
}

Vector2F ImageWrapper::GetSizeF()
{
    load();
    return image ? Vector2F{image->width, image->height} : Vector2F{};
}
