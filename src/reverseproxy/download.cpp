// Downloading a missing tunnel client on a thread of its own; unload cancels it.
#include "plugin/logging.h"
#include "plugin/matchbay.h"

void matchbay::StartFrpcDownload()
{
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        if (!frpClientManager) {
            AddStatusLog("FRP manager not initialized", LogLevel::Error);
            return;
        }
    }
    if (isDownloading.exchange(true)) {
        return; // one download at a time
    }
    {
        std::lock_guard<std::mutex> lock(downloadMutex);
        downloadError.clear();
    }
    downloadReceived = 0;
    downloadTotal = 0;
    // Owned, not detached: unload cancels it and joins it before the plugin goes away.
    if (downloadThread.joinable()) {
        downloadThread.join();
    }
    // Joined above, so a cancel of the previous download cannot reach this one.
    downloadCancel = false;
    downloadThread = std::thread([this, url = frpcDownloadUrl] { RunFrpcDownload(url); });
}

void matchbay::RunFrpcDownload(std::string url)
{
    AddStatusLog("Downloading frpc.exe...", LogLevel::Info);
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        auto progress = [this](std::uint64_t received, std::uint64_t total) {
            downloadTotal = total;
            downloadReceived = received;
        };
        if (frpClientManager && frpClientManager->DownloadFrpc(url, &downloadCancel, progress)) {
            AddStatusLog("frpc.exe downloaded successfully!", LogLevel::Success);
            if (frpClientManager->Initialize()) {
                AddStatusLog("FRP client manager reinitialized", LogLevel::Success);
            }
        } else {
            const std::string error =
                frpClientManager ? frpClientManager->GetLastError() : std::string("FRP manager not initialized");
            std::lock_guard<std::mutex> downloadLock(downloadMutex);
            downloadError = error;
            if (downloadCancel) {
                // The user asked for it: not an error, and the previous executable is untouched.
                AddStatusLog("Download cancelled", LogLevel::Info);
            } else {
                AddStatusLog("Failed to download frpc.exe: " + downloadError, LogLevel::Error);
            }
        }
    }
    isDownloading = false;
    showDownloadPrompt = false;
}

void matchbay::CancelFrpcDownload()
{
    if (isDownloading) {
        downloadCancel = true;
    }
}
