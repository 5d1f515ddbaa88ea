// Which family of Windows the program runs on.
#pragma once

namespace mrwd {

// True on Windows NT and its successors; false on Windows 95/98/Me.
bool IsNtFamily();

}  // namespace mrwd
