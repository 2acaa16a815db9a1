#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

extern char** environ;

namespace chimeon::test {

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input, const std::vector<std::string>& environment) {
    std::signal(SIGPIPE,
                SIG_IGN);  // a child that exits without reading its input must not end the test
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::vector<std::string> argvStrings = {program};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argvStrings) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        envStrings.emplace_back(*variable);
    }
    envStrings.insert(envStrings.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& variable : envStrings) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    pid_t child = 0;
    // A session of its own: the program never reaches the terminal the tests run in (no prompt
    // can wait there for an answer).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    int spawned =
        posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    ProgramResult result;
    if (spawned != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        result.err = std::string("cannot start ") + program + ": " + std::strerror(spawned);
        return result;
    }
    // Write the input and read both outputs together, so a large output never blocks the child.
    size_t written = 0;
    if (input.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    std::string* sinks[] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 || in[1] >= 0) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        if (poll(fds, 3, 10000) <= 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    close(fds[i].fd);
                    (i == 0 ? out[0] : err[0]) = -1;
                    --open;
                } else {
                    sinks[i]->append(buffer, static_cast<size_t>(got));
                }
            }
        }
        if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t put = write(in[1], input.data() + written, input.size() - written);
            if (put > 0) {
                written += static_cast<size_t>(put);
            }
            if (put <= 0 || written == input.size()) {
                close(in[1]);
                in[1] = -1;
            }
        }
    }
    for (int fd : {in[1], out[0], err[0]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace chimeon::test
