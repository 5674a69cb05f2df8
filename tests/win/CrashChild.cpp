// Installs the program's crash handler (twice, as start-up does) and then really faults.
#include "app/CrashReport.h"

int main() {
    brisalune::installCrashHandler();
    brisalune::installCrashHandler();
    // Volatile on both levels: otherwise the compiler may drop the store or make it a trap of
    // another kind.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
