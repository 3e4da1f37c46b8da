// The screen effect window: a picture of the screen laid over the screen, whose blocks are
// then copied a few pixels off their place until the user clicks, so the picture crumbles
// and creeps upwards. Each doeffect makes its own window and destroys it before returning.
#pragma once

#include "effect/effectstep.h"
#include "toolkit/handles.h"
#include "toolkit/memory_image.h"
#include "toolkit/window.h"

#include <cstdint>
#include <functional>

class frmEff : public tk::Window {
  public:
    static constexpr const wchar_t* kClassName = L"KeldrastEffect";

    frmEff() = default;
    ~frmEff() override;

    // Runs the effect until a mouse button goes down on it (or the window is closed, or a quit
    // message arrives, which is posted again). Returns at once when the effect is already
    // running on any frmEff, or when the window or the screen picture cannot be made.
    // `stopAfterSteps`, when not 0, ends the run after that many steps (a safety net for tests
    // and benchmarks).
    void doeffect(std::uint64_t stopAfterSteps = 0);

    // Called after each block copy, before pending messages are processed. For tests and
    // measurements; may post messages to the window.
    std::function<void(frmEff& effect, const fx::EffectStep& step)> Stepped;

    bool holdsScreenDC() const noexcept { return static_cast<bool>(screenDC); }
    // The window's drawing surface while the effect runs (null otherwise).
    HDC surface() const noexcept { return windowDC_.get(); }
    static bool isRunning() noexcept;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool load(int width, int height);
    void unload() noexcept;

    tk::unique_window_dc screenDC;
    bool keepRunning = false;
    // The block size and shift spans (shiftRangeX, shiftBiasX, ..., blockHeight), set at load.
    fx::EffectShape shape_{};

    int W_ = 0;
    int H_ = 0;
    std::uint64_t steps_ = 0;
    tk::unique_window_dc windowDC_;
    // The persistent image: the captured screen, shown whenever the window is painted.
    tk::MemoryImage image_;
};
