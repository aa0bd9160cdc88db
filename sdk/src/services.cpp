// The process-wide service registry and the wrappers that go through it.
#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/ImageWrapper.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "service_slot.h"

namespace bakkesmod::host {

namespace {
ServiceSlot<HttpService> http;
ServiceSlot<ImageService> images;
} // namespace

void installHttpService(std::shared_ptr<HttpService> service) { http.install(std::move(service)); }

void installImageService(std::shared_ptr<ImageService> service) { images.install(std::move(service)); }

std::shared_ptr<HttpService> httpService() { return http.get(); }

std::shared_ptr<ImageService> imageService() { return images.get(); }

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
