// Back-end tests run inside a Qt application so that event loops, timers and sockets work.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "testing/allocation_counter.h"  // counts for the audio tests' allocation watches

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
