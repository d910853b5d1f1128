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

using namespace std::chrono_literals;

RunningProgram::RunningProgram(const std::vector<std::string>& arguments)
{
    int output[2];
    int errors[2];
    if (arguments.empty() || pipe2(output, O_CLOEXEC) != 0)
        return;
    if (pipe2(errors, O_CLOEXEC) != 0) {
        close(output[0]);
        close(output[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
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
    m_streams[0] = output[0];
    m_streams[1] = errors[0];
    if (spawned != 0) {
        closeStreams();
        m_run.errors = "cannot start " + arguments[0];
        return;
    }
    m_pid = pid;
}

RunningProgram::~RunningProgram()
{
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    closeStreams();
}

void RunningProgram::collect(std::chrono::milliseconds wait)
{
    pollfd streams[2] = { { m_streams[0], POLLIN, 0 }, { m_streams[1], POLLIN, 0 } };
    std::string* texts[2] = { &m_run.output, &m_run.errors };
    if (poll(streams, 2, static_cast<int>(wait.count())) <= 0)
        return;
    for (int i = 0; i < 2; ++i) {
        if (m_streams[i] < 0 || !(streams[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[4096];
        const ssize_t got = read(m_streams[i], buffer, sizeof buffer);
        if (got > 0) {
            texts[i]->append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            close(m_streams[i]);
            m_streams[i] = -1; // poll skips negative descriptors
        }
    }
}

void RunningProgram::closeStreams()
{
    for (int& stream : m_streams) {
        if (stream >= 0)
            close(stream);
        stream = -1;
    }
}

std::string RunningProgram::firstLine(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (m_run.output.find('\n') == std::string::npos && streamsOpen()
        && std::chrono::steady_clock::now() < deadline)
        collect(50ms);
    const auto end = m_run.output.find('\n');
    return end == std::string::npos ? std::string() : m_run.output.substr(0, end);
}

ProgramRun RunningProgram::wait(std::chrono::milliseconds limit)
{
    if (m_pid <= 0)
        return m_run;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            m_pid = 0;
            closeStreams();
            return m_run;
        }
        if (streamsOpen())
            collect(100ms);
        else
            usleep(20'000);
    }
    m_pid = 0;
    // Helpers the program started may hold the streams a little longer.
    const auto drained = std::chrono::steady_clock::now() + 2s;
    while (streamsOpen() && std::chrono::steady_clock::now() < drained)
        collect(100ms);
    closeStreams();
    m_run.finished = true;
    if (WIFEXITED(status))
        m_run.exitCode = WEXITSTATUS(status);
    return m_run;
}

ProgramRun runProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds limit)
{
    RunningProgram program(arguments);
    return program.wait(limit);
}

} // namespace tvrn2::test
