#include "center_window.h"

#include "base/core/centering.h"

namespace mrwd {
namespace {

Box ToBox(const RECT& r) { return Box{r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CenterWindow(HWND window, HWND reference) {
    RECT windowRect;
    if (!::GetWindowRect(window, &windowRect)) return;
    const long width = windowRect.right - windowRect.left;
    const long height = windowRect.bottom - windowRect.top;

    RECT workArea;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);

    Box referenceBox = ToBox(workArea);
    Box limits = ToBox(workArea);
    const bool isChild = (::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0;
    if (isChild) {
        HWND parent = ::GetParent(window);
        RECT client;
        ::GetClientRect(parent, &client);
        referenceBox = limits = ToBox(client);
    } else {
        if (reference == nullptr) reference = ::GetWindow(window, GW_OWNER);
        RECT referenceRect;
        if (reference != nullptr && ::IsWindowVisible(reference) && !::IsIconic(reference) &&
            ::GetWindowRect(reference, &referenceRect)) {
            referenceBox = ToBox(referenceRect);
        }
    }

    const Position p = CenteredPosition(referenceBox, width, height, limits);
    ::SetWindowPos(window, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace mrwd
