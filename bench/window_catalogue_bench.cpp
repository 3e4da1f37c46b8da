// The catalogue at window level: the main window's start (load through showing) and close
// (save included) with 18, 10,000 and 30,000 entries in its settings file, against the same
// window with the 18 presets. Best of three per size, in a scratch folder.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/frmMain.h"
#include "catalogue/mConfig.h"
#include "../tests/win/numbered_catalogue.h"

#include "clock.h"

int wmain() {
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "keldrast-window-bench";
    std::printf("catalogue in the window: entries, start (ms), close with save (ms)\n");
    for (const int n : {18, 10000, 30000}) {
        double bestStart = 1e9, bestClose = 1e9;
        for (int round = 0; round < 3; ++round) {
            fs::remove_all(dir);
            fs::create_directories(dir);
            if (!mConfig::saveCatalogue((dir / "Keldrast.ini").wstring(), numberedCatalogue(n)))
                return 1;
            const double t0 = seconds();
            auto form = std::make_unique<frmMain>(dir.wstring());
            form->endsProgram = false;
            if (!form->load(SW_SHOWNOACTIVATE)) return 1;
            const double t1 = seconds();
            SendMessageW(form->hwnd(), WM_CLOSE, 0, 0); // saves the catalogue
            form.reset();
            const double t2 = seconds();
            bestStart = std::min(bestStart, (t1 - t0) * 1000);
            bestClose = std::min(bestClose, (t2 - t1) * 1000);
        }
        std::printf("%6d  %8.1f  %8.1f\n", n, bestStart, bestClose);
    }
    fs::remove_all(dir);
    return 0;
}
