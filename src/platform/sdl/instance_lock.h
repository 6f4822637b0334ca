// Single-instance guard: an exclusive advisory lock on a file. A lock file per install folder
// (not a system-wide name), so copies in other folders, e.g. parallel tests, never block each other.
#pragma once
#include <string>

namespace plat {

class InstanceLock {
 public:
  enum class Result { kAcquired, kHeldElsewhere, kError };
  InstanceLock() = default;
  ~InstanceLock() { Release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // pathUtf8: the lock file; its folder is created when missing.
  Result Acquire(const std::string& pathUtf8);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace plat
