// The notification-area icon's picture at any size: the program's own blue tile with a white
// "K" and a green dot, as the program's icon shows, filled edge to edge so that it is never taken
// for Windows' outlined network globe. Pure: the shell turns the pixels into an icon.
#pragma once

#include <cstdint>
#include <vector>

namespace tray {

// size x size pixels, row by row from the top, as 0xAARRGGBB with straight (not premultiplied)
// alpha. The tile's one-pixel rim is lighter on a dark taskbar and darker on a light one.
std::vector<std::uint32_t> iconPixels(int size, bool lightTaskbar);

} // namespace tray
