// The broker between a copy that is not elevated and the elevated copy it starts: the copy is
// started with the same arguments plus "/channel FILE", runs them, and writes what it brings
// back (brought.h) into that file, which only it and its starter can use.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "elevate/brought.h"
#include "toolkit/handles.h"

namespace elevate {

inline constexpr std::wstring_view kChannelSwitch = L"/channel";

// Starts the elevated copy with the arguments (those after the program's name), waits for it
// (two minutes at most) and brings back what it handed over. When it brings nothing,
// exitCode is one of the codes above and failure says why.
Brought runElevated(const std::vector<std::wstring>& args);

// The elevated copy's end: the channel file named on its command line, when it is one this
// broker made (a still empty "kld*.tmp" in the user's temporary folder, a plain disk file with
// one name); empty otherwise, so that an elevated copy cannot be used to write over a file of
// someone's choosing, nor to talk to a pipe that would impersonate it.
tk::unique_handle openChannel(const std::wstring& path);
// Writes what the copy brings back; false when it could not.
bool sendBack(HANDLE channel, const Brought& brought);

} // namespace elevate
