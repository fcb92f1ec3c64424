#pragma once

#include <string>

// Puts a whole test program into a private network namespace in which only the loopback
// interface is up, so that Aravis' GigE Vision discovery and the fake camera on 127.0.0.1 see
// nothing but each other (another fake camera on the shared loopback would answer too), and no
// packet leaves the machine.
//
// Use: call EnterPrivateNetwork(argc, argv) first thing in main(), before any thread exists.
//   - as root: unshare(CLONE_NEWNET) in this process;
//   - otherwise: the program is executed again under "unshare --net --map-root-user" (a user
//     namespace), after a probe showed that this works; the call then does not return in the
//     first process.
// When neither is possible the program goes on in the shared network: InPrivateNetwork() is
// false and PrivateNetworkProblem() says why; tests that need the network must skip then
// (OSTRAVELK_REQUIRE_PRIVATE_NETWORK), never touch it.
namespace aravistest {

bool EnterPrivateNetwork(int argc, char** argv);
bool InPrivateNetwork();
const std::string& PrivateNetworkProblem();

}  // namespace aravistest

// In a test body or SetUp: skips the test with the reason when there is no private network.
#define OSTRAVELK_REQUIRE_PRIVATE_NETWORK()                      \
    do {                                                         \
        if (!aravistest::InPrivateNetwork()) {                   \
            GTEST_SKIP() << "no private network namespace: "     \
                         << aravistest::PrivateNetworkProblem(); \
        }                                                        \
    } while (0)
