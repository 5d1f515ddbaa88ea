// sleeper.exe: a process that only exists. The benches start hundreds of
// these as the "other processes" a machine runs, so that the engine's cost of
// looking at them is measured alone: a process that woke up now and then
// would add its own work to the machine's. GUI subsystem: Wine starts a
// console host beside every console program.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(INFINITE);
    return 0;
}
