// A move-only owner for a WinSock socket. Apart from handles.h because
// <winsock2.h> must be seen before <windows.h>.
#pragma once

#include <winsock2.h>

#include "base/win/handles.h"

namespace mrwd {

struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static void Close(Type socket) { ::closesocket(socket); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

}  // namespace mrwd
