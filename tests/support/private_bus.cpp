#include "support/private_bus.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace chimeon::test {

PrivateBus::PrivateBus() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test that crashes leaves no bus behind
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    char byte = 0;
    while (pid_ > 0 && read(pipeEnds[0], &byte, 1) == 1 && byte != '\n') {
        address_ += byte;
    }
    close(pipeEnds[0]);
}

PrivateBus::~PrivateBus() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

}  // namespace chimeon::test
