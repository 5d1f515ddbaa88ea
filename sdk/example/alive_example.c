/* A program that takes part in supervision: it registers with a 30-second
   interval, sends a heartbeat every 10 seconds while its work goes on, and
   ends its supervision before it exits. */
#include "sdk/mrwd_alive.h"

static int DoOneStepOfWork(int step) {
    Sleep(1000); /* the program's real work goes here */
    return step < 60;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    int step = 0;
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;

    MrwdAlive(30);
    while (DoOneStepOfWork(step)) {
        if (++step % 10 == 0) MrwdAlive(30);
    }
    MrwdEndControl();
    return 0;
}
