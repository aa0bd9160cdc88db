#pragma once
// How the panel words a download's progress: "1.2 MiB / 11.8 MiB", or the bytes alone when
// the server sent no length.
#include <cstdint>
#include <string>

namespace reverse_proxy {

// "512 B", "3.4 KiB", "1.2 MiB", "2.0 GiB" (one decimal above bytes).
std::string FormatBytes(std::uint64_t bytes);
// total 0: the length is unknown, only received is shown.
std::string DownloadProgressText(std::uint64_t received, std::uint64_t total);
// 0..1 of a known length; received beyond total counts as done.
float DownloadFraction(std::uint64_t received, std::uint64_t total);

} // namespace reverse_proxy
