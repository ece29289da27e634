// The program's entry: hands the command line to the application shell.
#include "app/main_loop.h"

int main(int argc, char** argv)
{
    return runApplication(argc, argv);
}
