/* What the Microsoft C runtime's start-up does for a console program before
 * and after main, over msvcrt.dll: the program's arguments, then main's result
 * to exit, which flushes the output. */
#include <stdlib.h>

typedef struct {
    int newMode;
} StartupInfo;

__declspec(dllimport) int __cdecl __getmainargs(int* argc, char*** argv, char*** environment, int expandWildcards,
                                                StartupInfo* info);
int main(int argc, char* argv[]);

void __cdecl HostEntry(void)
{
    int argc = 0;
    char** argv = 0;
    char** environment = 0;
    StartupInfo info = {0};
    __getmainargs(&argc, &argv, &environment, 0, &info);
    exit(main(argc, argv));
}
