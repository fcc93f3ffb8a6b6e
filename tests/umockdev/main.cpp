// The sensor back ends' tests on devices presented by umockdev. Its preload library must be in
// the process from the start, so a run without it starts itself again with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (!preload || !std::strstr(preload, "libumockdev-preload")) {
    const std::string value = "libumockdev-preload.so.0" + (preload ? ":" + std::string(preload) : "");
    setenv("LD_PRELOAD", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("cannot start again under umockdev");
    return 1;
  }
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
