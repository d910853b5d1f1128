#include "tests/support/ProgramRun.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tvrn2::test {

ProgramRun runProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds limit)
{
    ProgramRun run;
    int output[2];
    int errors[2];
    if (arguments.empty() || pipe2(output, O_CLOEXEC) != 0)
        return run;
    if (pipe2(errors, O_CLOEXEC) != 0) {
        close(output[0]);
        close(output[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // A group of its own, so the watchdog also ends what the program started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    close(errors[1]);
    if (spawned != 0) {
        close(output[0]);
        close(errors[0]);
        run.errors = "cannot start " + arguments[0];
        return run;
    }

    // Reads what is ready on either stream, waiting at most `wait`.
    pollfd streams[2] = { { output[0], POLLIN, 0 }, { errors[0], POLLIN, 0 } };
    std::string* texts[2] = { &run.output, &run.errors };
    auto collect = [&](std::chrono::milliseconds wait) {
        if (poll(streams, 2, static_cast<int>(wait.count())) <= 0)
            return;
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || !(streams[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t got = read(streams[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(streams[i].fd);
                streams[i].fd = -1; // poll skips negative descriptors
            }
        }
    };
    auto streamsOpen = [&] { return streams[0].fd >= 0 || streams[1].fd >= 0; };

    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            for (pollfd& stream : streams) {
                if (stream.fd >= 0)
                    close(stream.fd);
            }
            return run;
        }
        if (streamsOpen())
            collect(100ms);
        else
            usleep(20'000);
    }
    // Helpers the program started may hold the streams a little longer.
    const auto drained = std::chrono::steady_clock::now() + 2s;
    while (streamsOpen() && std::chrono::steady_clock::now() < drained)
        collect(100ms);
    for (pollfd& stream : streams) {
        if (stream.fd >= 0)
            close(stream.fd);
    }
    run.finished = true;
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

} // namespace tvrn2::test
