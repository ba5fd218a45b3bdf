// How the process ends: stop requests from outside become an exit status the program
// reports after its own shutdown; a fatal stop without a debugger exits with status 3.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "platform/os.h"

namespace {

TEST(OsStopRequests, EachSignalIsRememberedAsItsExitStatus) {
  for (auto [signalNumber, status] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
    EXPECT_EXIT(
        {
          osInstallStopRequestHandlers();
          if (osStopRequestExitStatus() != 0) std::_Exit(90);
          std::raise(signalNumber);  // handled: the process goes on
          // A second, different request does not replace the first.
          std::raise(signalNumber == SIGTERM ? SIGHUP : SIGTERM);
          std::_Exit(osStopRequestExitStatus());
        },
        ::testing::ExitedWithCode(status), "")
        << "signal " << signalNumber;
  }
}

TEST(OsStopRequests, TheSameRequestTwiceEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        osInstallStopRequestHandlers();
        std::raise(SIGINT);
        std::raise(SIGINT);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

TEST(OsFatalStop, WithoutADebuggerExitsWithStatus3) {
  ASSERT_FALSE(osDebuggerAttached());
  EXPECT_EXIT(osFatalStop(), ::testing::ExitedWithCode(kOsFatalExitStatus), "");
}

}  // namespace
