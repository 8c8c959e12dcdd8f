/* Exits with the status given as its argument, so the test run can prove that a failing test
   program is seen as failing when it runs through the Windows emulator. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    int status = argc > 1 ? atoi(argv[1]) : 0;
    printf("exit_status: exiting with %d\n", status);
    return status;
}
