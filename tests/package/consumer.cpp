// An outside setup program built against an installed ZentraSetup: the
// installed header alone (-I<prefix>/include/zentra) and -lZentraSetup.
// Prints the connection result and exits with it.

#include <cstdio>

#include "installer/CZentraSetup.h"

int main()
{
    CZentraSetup setup;
    const long result = setup.DBConnection();
    std::printf("DBConnection: %ld\n", result);
    return static_cast<int>(result);
}
