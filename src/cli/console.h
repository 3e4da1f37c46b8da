// Where the command line prints: the standard handles when they are redirected (UTF-8 to a
// file or pipe), else the console of the program that started this one (Unicode text), or
// a buffer that an elevated copy hands back to the copy that started it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "cli/report.h"
#include "elevate/brought.h"
#include "toolkit/handles.h"

namespace cli {

class Output {
  public:
    virtual ~Output() = default;
    virtual void out(std::wstring_view text) = 0;
    virtual void err(std::wstring_view text) = 0;
    // Whether something printed to the standard output did not arrive there.
    virtual bool outFailed() const { return false; }
    // What happened, as data beside the printed words: an elevated copy hands it back.
    virtual void changed(const dns::ChangeOutcome&) {}
    virtual void flushed(const dns::FlushOutcome&) {}
    virtual void failed(std::wstring_view) {}
};

// The standard output and error handles as inherited; where one is missing (a GUI program
// started from a console has none), the parent's console, attached. A redirection is never
// replaced by the console, so "> file" keeps working.
class ConsoleOutput final : public Output {
  public:
    ConsoleOutput();
    void out(std::wstring_view text) override { outFailed_ |= !write(out_, text); }
    void err(std::wstring_view text) override { (void)write(err_, text); }
    bool outFailed() const override { return outFailed_; }

  private:
    // False when the text could not be written where there is somewhere to write it.
    static bool write(HANDLE handle, std::wstring_view text);
    bool outFailed_ = false;
    HANDLE out_ = nullptr;
    HANDLE err_ = nullptr;
    tk::unique_handle console_;
};

// Everything a command gives, kept to be handed back by an elevated copy.
class BufferOutput final : public Output {
  public:
    void out(std::wstring_view text) override { brought.out += text; }
    void err(std::wstring_view text) override { brought.err += text; }
    void changed(const dns::ChangeOutcome& outcome) override {
        brought.outcomes.push_back(outcome);
    }
    void flushed(const dns::FlushOutcome& outcome) override { brought.flush = outcome; }
    void failed(std::wstring_view message) override { brought.failure = message; }
    elevate::Brought brought;
};

} // namespace cli
