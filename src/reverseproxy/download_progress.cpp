#include "reverseproxy/download_progress.h"

#include <cstdio>

namespace reverse_proxy {

std::string FormatBytes(std::uint64_t bytes)
{
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    // Rounded to one decimal first, so 1023.96 KiB reads "1.0 MiB" rather than "1024.0 KiB".
    while (value >= 1023.95 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string DownloadProgressText(std::uint64_t received, std::uint64_t total)
{
    if (total == 0) {
        return FormatBytes(received);
    }
    return FormatBytes(received) + " / " + FormatBytes(total);
}

float DownloadFraction(std::uint64_t received, std::uint64_t total)
{
    if (total == 0) {
        return 0.0f;
    }
    if (received >= total) {
        return 1.0f;
    }
    return static_cast<float>(static_cast<double>(received) / static_cast<double>(total));
}

} // namespace reverse_proxy
