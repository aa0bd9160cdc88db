#include "reverseproxy/frp_client_manager.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>

#include "kestrel/build_config.h"
#include "lobby/remote_text.h"
#include "platform/child_process.h"
#include "platform/folders.h"
#include "platform/http_get.h"
#include "platform/narrow_name.h"
#include "plugin/logging.h"
#include "plugin/quoted_body.h"
#include "reverseproxy/frp_config.h"
#include "reverseproxy/sha256.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUserAgent = "ReverseProxy/1.0";
// A port service answer is a few bytes of JSON; anything this large is not one.
constexpr std::size_t kMaxPortAnswer = 64 * 1024;
// The tunnel client is some 15 MB; a download past this is not it, and must not fill the disk.
constexpr std::uint64_t kMaxDownloadBytes = 128ull * 1024 * 1024;

std::string PortServiceHost()
{
    const char* host = std::getenv("KESTREL_PORT_SERVICE_HOST");
    std::string base = host && *host ? host : KESTREL_PORT_SERVICE_HOST;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

} // namespace

struct FRPClientManager::Impl {
    std::unique_ptr<platform::ProcessGroup> group;   // the kill-on-close job
    std::unique_ptr<platform::ChildProcess> process; // the running (or ended) client
    ProcessCallbacks callbacks;
    std::string portServiceUrl = PortServiceHost() + "/get-port";
    std::string expectedSha256 = KESTREL_FRPC_SHA256;
};

FRPClientManager::FRPClientManager() : impl(new Impl()) {}

FRPClientManager::~FRPClientManager()
{
    Stop();
    impl->process.reset();
    impl->group.reset();
    delete impl;
}

std::string FRPClientManager::DefaultDownloadUrl() { return PortServiceHost() + "/reverseproxy/frpc.exe"; }

void FRPClientManager::SetProcessCallbacks(ProcessCallbacks callbacks) { impl->callbacks = std::move(callbacks); }

bool FRPClientManager::IsRunning() const { return impl->process && impl->process->IsRunning(); }

std::uint32_t FRPClientManager::GetProcessId() const { return IsRunning() ? impl->process->ProcessId() : 0; }

void FRPClientManager::SetPortServiceUrl(const std::string& url)
{
    std::string base = url;
    const std::string path = "/get-port";
    if (base.size() >= path.size() && base.compare(base.size() - path.size(), path.size(), path) == 0) {
        impl->portServiceUrl = base;
        return;
    }
    while (!base.empty() && base.back() == '/') base.pop_back();
    impl->portServiceUrl = base + path;
}

void FRPClientManager::SetExpectedSha256(const std::string& hex) { impl->expectedSha256 = Lower(hex); }

void FRPClientManager::SetError(const std::string& message)
{
    lastError = message;
    LogLine("[FRPClientManager ERROR] " + message);
}

std::string FRPClientManager::FindFrpcPath()
{
    fs::path appData = platform::AppDataFolder();
    if (appData.empty()) return "./data/ReverseProxy/frpc.exe";
    return platform::NarrowName(appData / "bakkesmod" / "bakkesmod" / "data" / "ReverseProxy" / "frpc.exe");
}

std::string FRPClientManager::GetConfigPath()
{
    fs::path temp = platform::TempFolder();
    if (temp.empty()) return "./frpc_config.toml";
    return platform::NarrowName(temp / "ReverseProxy" / "frpc_config.toml");
}

bool FRPClientManager::IsFrpcAvailable()
{
    std::string path = FindFrpcPath();
    if (path.empty()) return false;
    std::error_code error;
    return fs::is_regular_file(fs::path(path), error);
}

bool FRPClientManager::Initialize()
{
    frpcPath = FindFrpcPath();
    if (frpcPath.empty()) {
        SetError("Could not locate frpc.exe. Please ensure it's in the BakkesMod data directory.");
        return false;
    }
    std::error_code error;
    if (!fs::is_regular_file(fs::path(frpcPath), error)) {
        SetError("frpc.exe not found at: " + frpcPath);
        return false;
    }
    // A second Initialize (after a download) keeps the job: closing it would end a running client.
    if (!impl->group) {
        int code = 0;
        impl->group = platform::ProcessGroup::Create(code);
        if (!impl->group) {
            SetError("Failed to create Job Object");
            return false;
        }
    }
    LogLine("FRPClientManager initialized. frpc.exe location: " + frpcPath);
    return true;
}

bool FRPClientManager::Start(const ProxyServer& server, std::int32_t localPort)
{
    if (IsRunning()) {
        SetError("FRP client is already running");
        return false;
    }
    if (!GenerateConfig(server, localPort)) return false;
    if (frpcPath.empty()) frpcPath = FindFrpcPath();
    std::vector<std::string> args{"-c", configPath};
    LogLine("Starting FRP client: " + platform::CommandLine(frpcPath, args));
    // A client that ended on its own is released here; its reader has finished.
    impl->process.reset();
    int code = 0;
    platform::ProcessCallbacks callbacks{impl->callbacks.onLine, impl->callbacks.onExit};
    impl->process = platform::ChildProcess::Start(fs::path(frpcPath), args, impl->group.get(), std::move(callbacks), code);
    if (!impl->process) {
        SetError("Failed to start FRP client process. Error code: " + std::to_string(code));
        return false;
    }
    LogLine("FRP client started successfully (PID: " + std::to_string(impl->process->ProcessId()) + ")");
    return true;
}

bool FRPClientManager::Stop()
{
    if (!IsRunning()) return true;
    LogLine("Stopping FRP client...");
    bool terminated = impl->process->Terminate();
    if (terminated) impl->process->Wait(2000);
    impl->process.reset(); // waits for the reader, and so for a callback still running
    remotePort = 0;
    LogLine(terminated ? "FRP client stopped successfully" : "FRP client terminated forcefully");
    return true;
}

bool FRPClientManager::GenerateConfig(const ProxyServer& server, std::int32_t localPort)
{
    configPath = GetConfigPath();
    std::error_code error;
    fs::path folder = fs::path(configPath).parent_path();
    if (!folder.empty()) fs::create_directories(folder, error);
    if (error) {
        SetError("Failed to create config folder: " + platform::NarrowName(folder) + " (" + error.message() + ")");
        return false;
    }
    std::int32_t port = FetchRemotePort();
    if (port == 0) {
        SetError("Failed to fetch remote port from server");
        return false;
    }
    remotePort = port;
    std::string text = frp_config::ConfigText(server, localPort, remotePort);
    std::ofstream file(fs::path(configPath), std::ios::out | std::ios::trunc);
    if (!file) {
        SetError("Failed to create config file: " + configPath);
        return false;
    }
    file << text;
    file.close();
    if (!file) {
        SetError("Failed to create config file: " + configPath);
        return false;
    }
    LogLine("Generated FRP config file: " + configPath);
    LogLine("Config content:\n" + text);
    return true;
}

std::int32_t FRPClientManager::FetchRemotePort()
{
    LogLine("Fetching remote port from server...");
    std::string body;
    bool tooLarge = false;
    platform::HttpGetRequest request;
    request.url = impl->portServiceUrl;
    request.userAgent = kUserAgent;
    request.onData = [&](const char* data, std::size_t size) {
        if (body.size() + size > kMaxPortAnswer) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return true;
    };
    bool stopped = false;
    request.stopRequested = [&] { return stopped = stopRequested && stopRequested(); };
    auto result = platform::HttpGet(request);
    using platform::HttpStage;
    switch (result.stage) {
    case HttpStage::None: break;
    case HttpStage::Session: SetError("Failed to initialize WinHTTP session"); return 0;
    case HttpStage::Connect: SetError("Failed to connect to port server"); return 0;
    case HttpStage::Request: SetError("Failed to create HTTP request"); return 0;
    case HttpStage::Send: SetError("Failed to send HTTP request"); return 0;
    case HttpStage::Receive: SetError("Failed to receive HTTP response"); return 0;
    // What arrived before the body broke off is still read.
    case HttpStage::Query: SetError("Failed to query data availability"); break;
    case HttpStage::Read: SetError("Failed to read HTTP response data"); break;
    case HttpStage::Cancelled:
        if (stopped) {
            SetError("Port request stopped: the reverse proxy is shutting down");
            return 0;
        }
        if (tooLarge) {
            SetError("Port service answer is larger than " + std::to_string(kMaxPortAnswer) + " bytes");
            return 0;
        }
        break;
    }
    std::int32_t port = frp_config::ParsePortAnswer(body);
    if (port == 0) {
        SetError("Failed to parse port from response: " + remote_text::OneLine(QuotedBody(body), remote_text::kFreeText));
        return 0;
    }
    LogLine("Successfully fetched remote port: " + std::to_string(port));
    return port;
}

bool FRPClientManager::DownloadFrpc(const std::string& url, const std::atomic<bool>* cancel, DownloadProgress progress)
{
    LogLine("Downloading frpc.exe from: " + url);
    std::string rest = url;
    std::string scheme = "http";
    if (auto marker = url.find("://"); marker != std::string::npos) {
        scheme = Lower(url.substr(0, marker));
        rest = url.substr(marker + 3);
    }
    auto slash = rest.find('/');
    if (slash == std::string::npos || slash == 0) {
        SetError("Invalid URL format");
        return false;
    }
    if (scheme != "http" && scheme != "https") {
        SetError("Unsupported URL scheme: " + scheme);
        return false;
    }

    fs::path target = fs::path(FindFrpcPath());
    std::string targetName = platform::NarrowName(target);
    std::error_code error;
    if (!target.parent_path().empty()) fs::create_directories(target.parent_path(), error);
    // The executable is replaced only by a complete, checked file.
    fs::path partial = target;
    partial += ".download";
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    if (error || !file) {
        SetError("Failed to create file: " + platform::NarrowName(partial));
        return false;
    }

    Sha256 hash;
    std::uint64_t received = 0;
    std::int64_t announced = -1;
    int status = 0;
    bool writeFailed = false;
    bool cancelled = false;
    bool tooLarge = false;
    platform::HttpGetRequest request;
    request.url = scheme + "://" + rest;
    request.userAgent = kUserAgent;
    request.onHead = [&](int code, std::int64_t length) {
        status = code;
        announced = length;
    };
    request.onData = [&](const char* data, std::size_t size) {
        if (status != 200) return false;
        if ((announced > 0 && static_cast<std::uint64_t>(announced) > kMaxDownloadBytes) ||
            size > kMaxDownloadBytes - received) {
            tooLarge = true;
            return false;
        }
        if (cancel && cancel->load()) {
            cancelled = true;
            return false;
        }
        file.write(data, static_cast<std::streamsize>(size));
        if (!file) {
            writeFailed = true;
            return false;
        }
        hash.Update(data, size);
        received += size;
        if (progress) progress(received, announced > 0 ? static_cast<std::uint64_t>(announced) : 0);
        return true;
    };
    request.stopRequested = [&] {
        if (cancel && cancel->load()) cancelled = true;
        return cancelled;
    };
    auto result = platform::HttpGet(request);
    file.close();

    auto fail = [&](const std::string& message) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        SetError(message);
        return false;
    };
    using platform::HttpStage;
    switch (result.stage) {
    case HttpStage::None: break;
    case HttpStage::Session: return fail("Failed to initialize WinHTTP session");
    case HttpStage::Connect: return fail("Failed to connect to download server");
    case HttpStage::Request: return fail("Failed to create HTTP request");
    case HttpStage::Send: return fail("Failed to send HTTP request");
    case HttpStage::Receive: return fail("Failed to receive HTTP response");
    case HttpStage::Query: return fail("Failed to query data availability");
    case HttpStage::Read: return fail("Failed to read HTTP response data");
    case HttpStage::Cancelled:
        if (cancelled) return fail("Download cancelled");
        if (tooLarge)
            return fail("Download failed: larger than " + std::to_string(kMaxDownloadBytes) + " bytes");
        if (writeFailed) return fail("Failed to write file: " + platform::NarrowName(partial));
        break; // an answer other than 200, reported below
    }
    if (result.status != 200) return fail("Download failed: HTTP status " + std::to_string(result.status));
    if (writeFailed || !file) return fail("Failed to write file: " + platform::NarrowName(partial));
    if (received == 0) return fail("Download failed: empty body");
    if (announced >= 0 && received != static_cast<std::uint64_t>(announced)) {
        return fail("Download failed: received " + std::to_string(received) + " of " + std::to_string(announced) +
                    " bytes");
    }
    std::string digest = hash.HexDigest();
    if (!impl->expectedSha256.empty() && digest != impl->expectedSha256) {
        return fail("Download failed: SHA-256 mismatch (expected " + impl->expectedSha256 + ", got " + digest + ")");
    }
#ifndef _WIN32
    fs::permissions(partial, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, error);
    if (error) return fail("Failed to make " + platform::NarrowName(partial) + " executable: " + error.message());
#endif
    fs::rename(partial, target, error);
    if (error) {
        // Some systems refuse to rename over an existing file.
        std::error_code removeError;
        fs::remove(target, removeError);
        error.clear();
        fs::rename(partial, target, error);
    }
    if (error) return fail("Failed to replace " + targetName + ": " + error.message());
    LogLine("Successfully downloaded frpc.exe (" + std::to_string(received) + " bytes) to " + targetName);
    return true;
}
