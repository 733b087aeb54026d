#include "platform/floppy_drive.h"

#include <fcntl.h>
#include <linux/fd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FloppyFormFactor FloppyFormFactorOf(const std::string& path) {
    // O_NONBLOCK (O_NDELAY) opens the drive without checking for a medium.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FloppyFormFactor::None;
    FloppyFormFactor result = FloppyFormFactor::None;
    struct stat st {};
    floppy_drive_name type{};
    if (fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && ioctl(fd, FDGETDRVTYP, type) == 0) {
        // The driver names drive types by letter: lower case d/h are the 5.25-inch
        // drives (d360, h1200), upper case the 3.5-inch ones (D720, H1440, E2880).
        char c = type[0];
        if (c == 'd' || c == 'h') result = FloppyFormFactor::Inch525;
        else if (c >= 'A' && c <= 'Z') result = FloppyFormFactor::Inch35;
    }
    ::close(fd);
    return result;
}

}  // namespace platform
