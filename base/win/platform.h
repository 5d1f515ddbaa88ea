// Which family of Windows the program runs on.
#pragma once

namespace mrwd {

// True on Windows NT and its successors; false on Windows 95/98/Me.
bool IsNtFamily();
// True on Windows Vista and later (NT 6.0 on).
bool IsVistaOrLater();

}  // namespace mrwd
