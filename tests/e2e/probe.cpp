// Reads what keldrast.exe shows, for the end-to-end tests: run under Wine beside the program,
// it prints window texts, control positions and list items so a shell script can check
// them and aim xdotool clicks. Output goes to the file named by the first argument.
//   probe OUT find TEXT      centre of the visible window whose text is TEXT: "x y"
//   probe OUT dump           every visible top-level window of class TOP and its children
//   probe OUT items TEXT     the items of the combo box whose selected text is TEXT
//   probe OUT nth CLASS N    centre of the Nth (from 1) visible window of class CLASS: "x y"
//   probe OUT regsz KEY NAME a REG_SZ value under HKEY_LOCAL_MACHINE\KEY, "<none>" if absent
//   probe OUT left CLASS N   a point 8 px inside the left edge of that window: "x y"
//   probe OUT focus TEXT     the window with the keyboard focus in the thread of the window
//                            whose text is TEXT: "CLASS|TEXT"
//   probe OUT adapters       the interfaces Windows lists: "GUID|FRIENDLY NAME", one a line
#include <winsock2.h>
//   probe OUT count CLASS    how many top-level windows of class CLASS exist, shown or hidden
//   probe OUT command CLASS ID  posts WM_COMMAND ID to the first window of class CLASS
#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring classOf(HWND w);

// A drop-down list shows its selected item; other windows their window text.
std::wstring textOf(HWND w) {
    if (classOf(w) == L"ComboBox") {
        const auto sel = SendMessageW(w, CB_GETCURSEL, 0, 0);
        if (sel < 0) return {};
        std::wstring item(static_cast<std::size_t>(SendMessageW(w, CB_GETLBTEXTLEN, sel, 0)) + 1,
                          L'\0');
        item.resize(static_cast<std::size_t>(
            SendMessageW(w, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(item.data()))));
        return item;
    }
    std::wstring t(static_cast<std::size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    t.resize(static_cast<std::size_t>(GetWindowTextW(w, t.data(), static_cast<int>(t.size()))));
    return t;
}

std::wstring classOf(HWND w) {
    wchar_t name[128] = {};
    GetClassNameW(w, name, 128);
    return name;
}

std::vector<HWND> allWindows() {
    std::vector<HWND> out;
    EnumWindows(
        [](HWND top, LPARAM p) -> BOOL {
            auto* v = reinterpret_cast<std::vector<HWND>*>(p);
            if (!IsWindowVisible(top)) return TRUE;
            v->push_back(top);
            EnumChildWindows(
                top,
                [](HWND child, LPARAM q) -> BOOL {
                    reinterpret_cast<std::vector<HWND>*>(q)->push_back(child);
                    return TRUE;
                },
                p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    FILE* out = _wfopen(argv[1], L"w");
    if (!out) return 2;
    const std::wstring command = argv[2];
    int rc = 1;
    if (command == L"find" && argc > 3) {
        for (HWND w : allWindows()) {
            if (!IsWindowVisible(w) || textOf(w) != argv[3]) continue;
            RECT r{};
            GetWindowRect(w, &r);
            std::fprintf(out, "%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
            rc = 0;
            break;
        }
    } else if (command == L"dump") {
        for (HWND w : allWindows()) {
            RECT r{};
            GetWindowRect(w, &r);
            std::wstring text;
            for (wchar_t ch : textOf(w)) {
                if (ch == L'\r') continue;
                text += ch == L'\n' ? std::wstring(L"\\n") : std::wstring(1, ch);
            }
            std::fprintf(out, "%s|%s|%d|%d|%ld,%ld,%ld,%ld\n", utf8(classOf(w)).c_str(),
                         utf8(text).c_str(), IsWindowVisible(w) ? 1 : 0, IsWindowEnabled(w) ? 1 : 0,
                         r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
        rc = 0;
    } else if (command == L"items" && argc > 3) {
        for (HWND w : allWindows()) {
            if (classOf(w) != L"ComboBox" || textOf(w) != argv[3]) continue;
            const auto count = SendMessageW(w, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                std::wstring item(
                    static_cast<std::size_t>(SendMessageW(w, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
                item.resize(static_cast<std::size_t>(
                    SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
                std::fprintf(out, "%s\n", utf8(item).c_str());
            }
            rc = 0;
            break;
        }
    } else if ((command == L"nth" || command == L"left") && argc > 4) {
        int n = _wtoi(argv[4]);
        for (HWND w : allWindows()) {
            if (!IsWindowVisible(w) || classOf(w) != argv[3] || --n > 0) continue;
            RECT r{};
            GetWindowRect(w, &r);
            const long x = command == L"nth" ? (r.left + r.right) / 2 : r.left + 8;
            std::fprintf(out, "%ld %ld\n", x, (r.top + r.bottom) / 2);
            rc = 0;
            break;
        }
    } else if (command == L"focus" && argc > 3) {
        for (HWND w : allWindows()) {
            if (textOf(w) != argv[3]) continue;
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info) || !info.hwndFocus)
                break;
            std::fprintf(out, "%s|%s\n", utf8(classOf(info.hwndFocus)).c_str(),
                         utf8(textOf(info.hwndFocus)).c_str());
            rc = 0;
            break;
        }
    } else if (command == L"adapters") {
        std::vector<unsigned char> buffer(64 * 1024);
        ULONG size = static_cast<ULONG>(buffer.size());
        auto* first = reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data());
        if (GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, first, &size) == NO_ERROR) {
            for (auto* a = first; a; a = a->Next)
                std::fprintf(out, "%s|%s\n", a->AdapterName,
                             utf8(a->FriendlyName ? a->FriendlyName : L"").c_str());
            rc = 0;
        }
    } else if (command == L"count" && argc > 3) {
        int n = 0;
        for (HWND w = FindWindowExW(nullptr, nullptr, argv[3], nullptr); w;
             w = FindWindowExW(nullptr, w, argv[3], nullptr))
            ++n;
        std::fprintf(out, "%d\n", n);
        rc = 0;
    } else if (command == L"command" && argc > 4) {
        HWND w = FindWindowW(argv[3], nullptr);
        rc = w && PostMessageW(w, WM_COMMAND, static_cast<WPARAM>(wcstoul(argv[4], nullptr, 0)), 0)
                 ? 0
                 : 1;
    } else if (command == L"regsz" && argc > 4) {
        wchar_t data[2048] = {};
        DWORD size = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, argv[3], 0, KEY_READ, &key) == ERROR_SUCCESS &&
            RegQueryValueExW(key, argv[4], nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            std::fprintf(out, "%s\n",
                         utf8(std::wstring(data, size / sizeof(wchar_t)).c_str()).c_str());
        } else {
            std::fprintf(out, "<none>\n");
        }
        if (key) RegCloseKey(key);
        rc = 0;
    }
    std::fclose(out);
    return rc;
}
