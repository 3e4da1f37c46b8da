#include "app/layout.h"

namespace app {

double fontPoints(FontStyle style) {
    switch (style) {
    case FontStyle::Title:
        return 21.75;
    case FontStyle::Bold:
        return 9.75;
    default:
        return 8.25;
    }
}

} // namespace app
