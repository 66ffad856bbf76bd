// Bit rates outside the classic B-constants go through termios2 with BOTHER. Its header
// clashes with <termios.h>, so this file stands alone and only speaks plain integers.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

bool AfSetCustomBaudRate(int fd, uint32_t baud) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~CBAUD;
  tio.c_cflag |= BOTHER;
  tio.c_cflag &= ~(CBAUD << IBSHIFT);
  tio.c_cflag |= BOTHER << IBSHIFT;
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  if (ioctl(fd, TCSETS2, &tio) != 0) return false;
  struct termios2 check {};
  if (ioctl(fd, TCGETS2, &check) != 0) return false;
  return check.c_ospeed == baud;
}

uint32_t AfGetBaudRate(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return tio.c_ospeed;
}
