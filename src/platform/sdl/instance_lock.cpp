#include "platform/sdl/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/text/log.h"

namespace plat {

InstanceLock::Result InstanceLock::Acquire(const std::string& pathUtf8) {
  Release();
  size_t slash = pathUtf8.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    std::string dir = pathUtf8.substr(0, slash);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
      Log("sdl", "cannot create the lock folder (errno %d)", errno);
      return Result::kError;
    }
  }
  int fd = open(pathUtf8.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    Log("sdl", "cannot open the instance lock (errno %d)", errno);
    return Result::kError;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    if (err == EWOULDBLOCK) return Result::kHeldElsewhere;
    Log("sdl", "cannot lock the instance lock (errno %d)", err);
    return Result::kError;
  }
  fd_ = fd;
  return Result::kAcquired;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace plat
