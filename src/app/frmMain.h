// The main window: the application. Its load sequence builds the catalogue and the adapter
// list; unloading it saves the catalogue and ends the program.
#pragma once

#include "toolkit/handles.h"
#include "toolkit/window.h"

#include <cstdint>
#include <string>

class frmMain : public tk::Window {
  public:
    // The client area in twips, scaled for the monitor's DPI.
    static constexpr int kClientWidthTwips = 6090;
    static constexpr int kClientHeightTwips = 3480;
    static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

    // Creates the window, runs the load sequence and shows it centred.
    bool load(int showCommand = SW_SHOWNORMAL);

    int dpi() const noexcept { return dpi_; }
    HFONT defaultFont() const noexcept { return defaultFont_.get(); }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void WhenLoad();
    void SetUniText(HWND window, const std::wstring& text);
    void unload();
    void applyDpi(int dpi);
    void centreOnMonitor();

    int dpi_ = 96;
    tk::unique_hfont defaultFont_;

    // Cursor circle effect.
    std::int32_t cursorX = 0;
    std::int32_t cursorY = 0;
    double circleAngle = 0;
};
