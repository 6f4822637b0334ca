// The single-instance lock: one holder per lock file, released on release or exit.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/sdl/instance_lock.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(InstanceLockTest, OneHolderAtATime) {
  v4test::TempFolder dir;
  std::string path = dir.File("SaveData/Vornakest4.lock");  // the folder is created
  plat::InstanceLock a, b;
  EXPECT_EQ(a.Acquire(path), plat::InstanceLock::Result::kAcquired);
  EXPECT_TRUE(a.Held());
  EXPECT_EQ(b.Acquire(path), plat::InstanceLock::Result::kHeldElsewhere);
  EXPECT_FALSE(b.Held());

  // Another process sees it held too.
  pid_t pid = fork();
  if (pid == 0) {
    plat::InstanceLock c;
    _exit(c.Acquire(path) == plat::InstanceLock::Result::kHeldElsewhere ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  a.Release();
  EXPECT_EQ(b.Acquire(path), plat::InstanceLock::Result::kAcquired);
  // A lock in another folder is independent.
  v4test::TempFolder other;
  plat::InstanceLock c;
  EXPECT_EQ(c.Acquire(other.File("Vornakest4.lock")), plat::InstanceLock::Result::kAcquired);
  b.Release();
  c.Release();
}

TEST(InstanceLockTest, UnusableFolderIsAnError) {
  plat::InstanceLock a;
  EXPECT_EQ(a.Acquire("/proc/v4-no-such/x/Vornakest4.lock"), plat::InstanceLock::Result::kError);
  EXPECT_FALSE(a.Held());
}

}  // namespace
