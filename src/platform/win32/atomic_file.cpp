#include "platform/atomic_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace platform {

namespace {

std::string Failure(const char* step, DWORD error) { return std::string(step) + ": error " + std::to_string(error); }

} // namespace

std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    const std::filesystem::path temporary = std::filesystem::path(path).concat(L".tmp");
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failure("cannot create the temporary file", GetLastError());

    std::string failure;
    size_t written = 0;
    while (failure.empty() && written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
        DWORD count = 0;
        if (!WriteFile(file, bytes.data() + written, chunk, &count, nullptr)) failure = Failure("cannot write the temporary file", GetLastError());
        else written += count;
    }
    if (failure.empty() && !FlushFileBuffers(file)) failure = Failure("cannot flush the temporary file", GetLastError());
    CloseHandle(file);
    // Write-through: the call returns once the new name is on disk, so a power cut cannot undo it.
    if (failure.empty() && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failure = Failure("cannot replace the file", GetLastError());
    if (!failure.empty()) {
        DeleteFileW(temporary.c_str());
        return failure;
    }
    return {};
}

} // namespace platform
