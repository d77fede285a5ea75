#include "support/system/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// With the POSIX calls of libc: openpty would need libutil.
bool openPseudoTerminal(int& master, int& slave, unsigned short rows, unsigned short columns) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return false;
    const char* path = nullptr;
    if (grantpt(master) == 0 && unlockpt(master) == 0) path = ptsname(master);
    slave = path != nullptr ? open(path, O_RDWR | O_NOCTTY) : -1;
    winsize window{};
    window.ws_row = rows;
    window.ws_col = columns;
    if (slave < 0 || ioctl(slave, TIOCSWINSZ, &window) != 0) {
        close(master);
        if (slave >= 0) close(slave);
        return false;
    }
    return true;
}
