// Where the icon of a minimised window is drawn: centred in the client area.
#pragma once

struct IconOrigin {
    int x;
    int y;
};

// Signed arithmetic, the division rounding toward zero: an icon wider than the client gets a negative x.
constexpr IconOrigin CenteredIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}
