/* mrwd_alive.h - lets a program be supervised by Marotel ZedevUdo Server.

   Include it in a Windows program (C or C++), then:
     - call MrwdAlive(seconds) once at start: this registers the program;
     - call it again at least once per `seconds` while the program works well
       (a heartbeat; the server counts anything below 10 seconds as 10);
     - call MrwdEndControl() just before a normal exit, so that the server
       does not start the program again.
   If the program stops calling MrwdAlive for longer than it announced, the
   server kills it, runs the recovery actions set for it, and starts it again.

   The calls post the registered window message "app.alive.msg" to the
   server's window (class "Marotel ZedevUdo Server") with the interval in
   wParam and the process id in lParam. They never wait for the server.

   A program that uses the modem may also post the registered message
   "mdm.reset.msg" to the same window: the server then resets the modem. */
#ifndef MRWD_ALIVE_H
#define MRWD_ALIVE_H

#include <windows.h>

#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
#define MRWD_INLINE static inline
#else
#define MRWD_INLINE static __inline
#endif

#define MRWD_SERVER_WINDOW_CLASS "Marotel ZedevUdo Server"
#define MRWD_ALIVE_MESSAGE "app.alive.msg"
#define MRWD_MODEM_RESET_MESSAGE "mdm.reset.msg"

/* The server's window, or NULL when no server runs. */
MRWD_INLINE HWND MrwdFindServer(void) { return FindWindowA(MRWD_SERVER_WINDOW_CLASS, NULL); }

/* Tells the server this program is alive and will call again within
   `seconds`. Returns nonzero when the message was posted to a server. */
MRWD_INLINE BOOL MrwdAlive(unsigned int seconds) {
    UINT message = RegisterWindowMessageA(MRWD_ALIVE_MESSAGE);
    HWND server = MrwdFindServer();
    if (message == 0 || server == NULL) return FALSE;
    return PostMessageA(server, message, (WPARAM)seconds, (LPARAM)GetCurrentProcessId());
}

/* Ends the supervision of this program: call it right before a normal exit. */
MRWD_INLINE BOOL MrwdEndControl(void) { return MrwdAlive(0); }

#endif
