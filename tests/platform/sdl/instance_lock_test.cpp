// The single-instance lock: one holder per lock file, released on release or exit.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sdl/instance_lock.h"

namespace fs = std::filesystem;

namespace {

std::string MakeTempDir() {
  std::string tmpl = (fs::temp_directory_path() / "v4lockXXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  return mkdtemp(buf.data());
}

TEST(InstanceLockTest, OneHolderAtATime) {
  std::string dir = MakeTempDir();
  std::string path = dir + "/SaveData/Vornakest4.lock";  // the folder is created
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
  std::string other = MakeTempDir();
  plat::InstanceLock c;
  EXPECT_EQ(c.Acquire(other + "/Vornakest4.lock"), plat::InstanceLock::Result::kAcquired);
  b.Release();
  c.Release();
  fs::remove_all(dir);
  fs::remove_all(other);
}

TEST(InstanceLockTest, UnusableFolderIsAnError) {
  plat::InstanceLock a;
  EXPECT_EQ(a.Acquire("/proc/v4-no-such/x/Vornakest4.lock"), plat::InstanceLock::Result::kError);
  EXPECT_FALSE(a.Held());
}

}  // namespace
