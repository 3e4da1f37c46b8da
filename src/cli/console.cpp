#include "cli/console.h"
#include "toolkit/utf8.h"

namespace cli {

namespace {

bool usable(HANDLE handle) {
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Line ends as Windows programs read them.
std::wstring crlf(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
        out += text[i];
    }
    return out;
}

} // namespace

ConsoleOutput::ConsoleOutput()
    : out_(GetStdHandle(STD_OUTPUT_HANDLE)), err_(GetStdHandle(STD_ERROR_HANDLE)) {
    if (usable(out_) && usable(err_)) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    console_ = tk::openedFile(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!console_) return;
    if (!usable(out_)) out_ = console_.get();
    if (!usable(err_)) err_ = console_.get();
}

bool ConsoleOutput::write(HANDLE handle, std::wstring_view text) {
    if (!usable(handle) || text.empty()) return true;
    const std::wstring lines = crlf(text);
    if (isConsole(handle)) {
        for (std::size_t done = 0; done < lines.size();) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(lines.size() - done, 8192));
            if (!WriteConsoleW(handle, lines.data() + done, chunk, &written, nullptr) || !written)
                return false;
            done += written;
        }
        return true;
    }
    const std::string bytes = tk::toUtf8(lines);
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || !written)
            return false;
        done += written;
    }
    return true;
}

} // namespace cli
