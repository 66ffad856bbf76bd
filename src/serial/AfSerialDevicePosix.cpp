// The serial device on POSIX: termios on the device node, exclusive use through flock and
// TIOCEXCL, waits through poll so that every wait can be woken by an eventfd.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "AfSerialDevice.h"

bool AfSetCustomBaudRate(int fd, uint32_t baud);
uint32_t AfGetBaudRate(int fd);

namespace {
int PollFor(std::vector<pollfd>& fds, int timeoutMs);
}

void AfApplyThreadPriority(TAfThreadPriority p) {
  static const int nice[] = {19, 10, 5, 0, -5, -10, -15};
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  ::setpriority(PRIO_PROCESS, tid, nice[static_cast<int>(p)]);
}

// ---------------------------------------------------------------- TAfWakeEvent

TAfWakeEvent::TAfWakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TAfWakeEvent::~TAfWakeEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void TAfWakeEvent::Set() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void TAfWakeEvent::Reset() {
  uint64_t value;
  while (::read(fd_, &value, sizeof value) > 0) {
  }
}

bool TAfWakeEvent::IsSet() const { return Wait(0); }

bool TAfWakeEvent::Wait(int timeoutMs) const {
  std::vector<pollfd> fds{{fd_, POLLIN, 0}};
  return PollFor(fds, timeoutMs) > 0;
}

TAfNativeHandle TAfWakeEvent::NativeHandle() const { return fd_; }

int TAfWakeEvent::WaitAny(std::initializer_list<const TAfWakeEvent*> events, int timeoutMs) {
  std::vector<pollfd> fds;
  for (const auto* e : events) fds.push_back({e->fd_, POLLIN, 0});
  if (PollFor(fds, timeoutMs) <= 0) return -1;
  for (size_t i = 0; i < fds.size(); ++i)
    if (fds[i].revents & POLLIN) return static_cast<int>(i);
  return -1;
}

// ---------------------------------------------------------------- helpers

namespace {

struct SpeedEntry {
  uint32_t rate;
  speed_t code;
};
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

bool StandardSpeed(uint32_t rate, speed_t& code) {
  for (const auto& e : kSpeeds)
    if (e.rate == rate) {
      code = e.code;
      return true;
    }
  return false;
}

uint32_t SpeedRate(speed_t code) {
  for (const auto& e : kSpeeds)
    if (e.code == code) return e.rate;
  return 0;
}

// poll with EINTR retried on the remaining time (rounded up, so a 1 ms wait never becomes 0).
int PollFor(std::vector<pollfd>& fds, int timeoutMs) {
  using clock = std::chrono::steady_clock;
  const auto until = clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  int left = timeoutMs;
  for (;;) {
    const int r = ::poll(fds.data(), fds.size(), left);
    if (r >= 0 || errno != EINTR) return r;
    if (timeoutMs >= 0)
      left = static_cast<int>(std::max<int64_t>(
          0, std::chrono::ceil<std::chrono::milliseconds>(until - clock::now()).count()));
  }
}

TAfWaitResult WaitOn(int fd, short events, int timeoutMs, const TAfWakeEvent* w1, const TAfWakeEvent* w2) {
  std::vector<pollfd> fds{{fd, events, 0}};
  if (w1) fds.push_back({w1->NativeHandle(), POLLIN, 0});
  if (w2) fds.push_back({w2->NativeHandle(), POLLIN, 0});
  const int r = PollFor(fds, timeoutMs);
  if (r < 0) return TAfWaitResult::Error;
  if (r == 0) return TAfWaitResult::Timeout;
  for (size_t i = 1; i < fds.size(); ++i)
    if (fds[i].revents & POLLIN) return TAfWaitResult::Woken;
  // A hung-up terminal also polls readable, yet reads give nothing: the hang-up comes first,
  // or waiting for input would spin.
  if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return TAfWaitResult::Hangup;
  if (fds[0].revents & events) return TAfWaitResult::Ready;
  return TAfWaitResult::Timeout;
}

}  // namespace

struct TAfSerialDevice::Counters {
  bool valid = false;
  serial_icounter_struct last{};
};

TAfSerialDevice::TAfSerialDevice() : counters_(std::make_shared<Counters>()) {}

TAfSerialDevice::~TAfSerialDevice() { Close(); }

namespace {

TAfPortError AfPortErrorOf(int error) {
  switch (error) {
    case 0: return TAfPortError::None;
    case ENOENT: case ENODEV: case ENXIO: case ENOTDIR: return TAfPortError::NoSuchPort;
    case EBUSY: case EWOULDBLOCK: return TAfPortError::InUse;  // TIOCEXCL or flock of another
    case EACCES: case EPERM: case EROFS: return TAfPortError::Permission;
    case ENOTTY: case EINVAL: return TAfPortError::NotSerial;
    case EIO: case EPIPE: case EBADF: return TAfPortError::IO;
    default: return TAfPortError::Other;
  }
}

}  // namespace

TAfPortError TAfSerialDevice::Open(const std::string& path) {
  Close();
  auto fail = [this](int error, int fd) {
    lastError_ = std::strerror(error);
    lastKind_ = AfPortErrorOf(error);
    if (fd >= 0) ::close(fd);
    return lastKind_;
  };
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(errno, -1);
  auto saved = std::make_shared<termios>();
  if (::tcgetattr(fd, saved.get()) != 0) return fail(errno == EINVAL ? ENOTTY : errno, fd);
  // Another program (or another port of ours) holding the node keeps it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno, fd);
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  locked_ = true;
  saved_ = saved;
  counters_->valid = ::ioctl(fd_, TIOCGICOUNT, &counters_->last) == 0;
  lastError_.clear();
  lastKind_ = TAfPortError::None;
  return TAfPortError::None;
}

void TAfSerialDevice::Close() {
  if (fd_ < 0) return;
  if (saved_) ::tcsetattr(fd_, TCSANOW, static_cast<termios*>(saved_.get()));
  ::ioctl(fd_, TIOCNXCL);
  if (locked_) ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  locked_ = false;
  saved_.reset();
}

bool TAfSerialDevice::IsOpen() const { return fd_ >= 0; }

bool TAfSerialDevice::SetTimeouts() {
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return false;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool TAfSerialDevice::SetQueueSizes(int in, int out) { return fd_ >= 0 && in > 0 && out > 0; }

bool TAfSerialDevice::SetEventMask(uint32_t) { return fd_ >= 0; }

bool TAfSerialDevice::SetParams(const TAfDCB& dcb) {
  using namespace AfDcbFlags;
  termios before{};
  if (::tcgetattr(fd_, &before) != 0) return false;
  termios t = before;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;

  t.c_cflag &= ~CSIZE;
  switch (dcb.ByteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: lastError_ = "data bits"; return false;
  }
  t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  switch (dcb.Parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: lastError_ = "parity"; return false;
  }
  // Linux has no separate one-and-a-half: CSTOPB gives 1.5 with five data bits, two otherwise.
  if (dcb.StopBits == 0) t.c_cflag &= ~CSTOPB;
  else if (dcb.StopBits <= 2) t.c_cflag |= CSTOPB;
  else { lastError_ = "stop bits"; return false; }

  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  if (dcb.Flags & OutX) t.c_iflag |= IXON;
  if (dcb.Flags & InX) t.c_iflag |= IXOFF;
  if (dcb.Flags & Parity) t.c_iflag |= INPCK;  // a byte with a parity error reads as 0
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  if ((dcb.Flags & OutxCtsFlow) || (dcb.Flags & RtsControlHandshake)) t.c_cflag |= CRTSCTS;
  else t.c_cflag &= ~CRTSCTS;

  speed_t code;
  const bool standard = StandardSpeed(dcb.BaudRate, code);
  if (dcb.BaudRate == 0) { lastError_ = "bit rate"; return false; }
  if (standard) {
    ::cfsetispeed(&t, code);
    ::cfsetospeed(&t, code);
  }
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
    lastError_ = std::strerror(errno);
    ::tcsetattr(fd_, TCSANOW, &before);
    return false;
  }
  if (!standard && !AfSetCustomBaudRate(fd_, dcb.BaudRate)) {
    lastError_ = "bit rate";
    ::tcsetattr(fd_, TCSANOW, &before);
    return false;
  }
  // tcsetattr succeeds when any part was taken: check that all of it was.
  termios after{};
  ::tcgetattr(fd_, &after);
  const tcflag_t keys = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  if ((after.c_cflag & keys) != (t.c_cflag & keys) || AfGetBaudRate(fd_) != dcb.BaudRate) {
    lastError_ = "refused";
    ::tcsetattr(fd_, TCSANOW, &before);
    return false;
  }
  // Without handshake the lines follow the record; a pseudo-terminal has none and says so.
  int bit = TIOCM_DTR;
  if (!(dcb.Flags & DtrControlHandshake)) ::ioctl(fd_, (dcb.Flags & DtrControlEnable) ? TIOCMBIS : TIOCMBIC, &bit);
  bit = TIOCM_RTS;
  if (!(dcb.Flags & RtsControlHandshake)) ::ioctl(fd_, (dcb.Flags & RtsControlEnable) ? TIOCMBIS : TIOCMBIC, &bit);
  return true;
}

TAfDCB TAfSerialDevice::GetParams() const {
  using namespace AfDcbFlags;
  TAfDCB dcb;
  termios t{};
  if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0) return dcb;
  dcb.BaudRate = AfGetBaudRate(fd_);
  if (dcb.BaudRate == 0) dcb.BaudRate = SpeedRate(::cfgetospeed(&t));
  dcb.Flags = Binary;
  switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  if (!(t.c_cflag & PARENB)) dcb.Parity = 0;
  else if (t.c_cflag & CMSPAR) dcb.Parity = (t.c_cflag & PARODD) ? 3 : 4;
  else dcb.Parity = (t.c_cflag & PARODD) ? 1 : 2;
  dcb.StopBits = (t.c_cflag & CSTOPB) ? (dcb.ByteSize == 5 ? 1 : 2) : 0;
  if (t.c_iflag & IXON) dcb.Flags |= OutX;
  if (t.c_iflag & IXOFF) dcb.Flags |= InX;
  if (t.c_iflag & INPCK) dcb.Flags |= Parity;
  if (t.c_cflag & CRTSCTS) dcb.Flags |= OutxCtsFlow | RtsControlHandshake;
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) == 0) {
    if (lines & TIOCM_DTR) dcb.Flags |= DtrControlEnable;
    if ((lines & TIOCM_RTS) && !(t.c_cflag & CRTSCTS)) dcb.Flags |= RtsControlEnable;
  }
  dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  return dcb;
}

int TAfSerialDevice::InputCount() const {
  int n = 0;
  if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &n) != 0) return 0;
  return n;
}

int TAfSerialDevice::OutputCount() const {
  int n = 0;
  if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &n) != 0) return 0;
  return n;
}

int TAfSerialDevice::Read(void* buf, int count) {
  if (fd_ < 0 || count <= 0) return 0;
  int got = 0;
  while (got < count) {
    const ssize_t r = ::read(fd_, static_cast<char*>(buf) + got, static_cast<size_t>(count - got));
    if (r > 0) got += static_cast<int>(r);
    else if (r < 0 && errno == EINTR) continue;
    else break;  // nothing more waiting, or the line hung up
  }
  return got;
}

int TAfSerialDevice::Write(const void* buf, int count) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t r = ::write(fd_, buf, static_cast<size_t>(count));
    if (r >= 0) return static_cast<int>(r);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    lastError_ = std::strerror(errno);
    lastKind_ = AfPortErrorOf(errno);
    return -1;
  }
}

TAfWaitResult TAfSerialDevice::WaitReadable(int timeoutMs, const TAfWakeEvent* w1, const TAfWakeEvent* w2) const {
  if (fd_ < 0) return TAfWaitResult::Error;
  return WaitOn(fd_, POLLIN, timeoutMs, w1, w2);
}

TAfWaitResult TAfSerialDevice::WaitWritable(int timeoutMs, const TAfWakeEvent* w1, const TAfWakeEvent* w2) const {
  if (fd_ < 0) return TAfWaitResult::Error;
  return WaitOn(fd_, POLLOUT, timeoutMs, w1, w2);
}

void TAfSerialDevice::PurgeInput() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void TAfSerialDevice::PurgeOutput() {
  if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

void TAfSerialDevice::SetDTR(bool on) {
  int bit = TIOCM_DTR;
  if (fd_ >= 0) ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void TAfSerialDevice::SetRTS(bool on) {
  int bit = TIOCM_RTS;
  if (fd_ >= 0) ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

uint32_t TAfSerialDevice::ModemStatus() const {
  int lines = 0;
  if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &lines) != 0) return 0;
  uint32_t ms = 0;
  if (lines & TIOCM_CTS) ms |= AfMs::CtsOn;
  if (lines & TIOCM_DSR) ms |= AfMs::DsrOn;
  if (lines & TIOCM_RNG) ms |= AfMs::RingOn;
  if (lines & TIOCM_CAR) ms |= AfMs::RlsdOn;
  return ms;
}

uint32_t TAfSerialDevice::TakeLineErrors() {
  if (fd_ < 0 || !counters_->valid) return 0;
  serial_icounter_struct now{};
  if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
  const auto& was = counters_->last;
  uint32_t errors = 0;
  if (now.frame != was.frame) errors |= AfCe::Frame;
  if (now.overrun != was.overrun) errors |= AfCe::Overrun;
  if (now.parity != was.parity) errors |= AfCe::RxParity;
  if (now.brk != was.brk) errors |= AfCe::Break;
  if (now.buf_overrun != was.buf_overrun) errors |= AfCe::RxOver;
  counters_->last = now;
  return errors;
}
