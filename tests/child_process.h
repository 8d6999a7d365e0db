// A program run as a child process on pipes: started with its arguments, sent
// lines, read line by line or to the end under time limits, waited for or
// killed. Free of GoogleTest, so the stress driver uses it as the tests do.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <string>
#include <vector>

struct ChildProcess {
    pid_t pid = -1;       // -1 when not started or already waited for
    int to = -1;          // the write end of its standard input, -1 once closed
    int from = -1;        // the read end of its standard output, -1 at its end
    std::string pending;  // output read but not handed out yet
};

using ChildClock = std::chrono::steady_clock;

inline ChildClock::time_point ChildDeadline(int timeout_ms) {
    return ChildClock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
}

inline int MsUntil(ChildClock::time_point deadline) {
    const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - ChildClock::now()).count();
    return int(std::clamp<long long>(left, 0, INT_MAX));
}

// Starts argv[0] (looked up on PATH) with argv as its arguments; its standard
// error goes to err_fd when one is given, else it stays the caller's. The
// pipes are closed on exec, so a second child does not hold the first one's
// input open.
inline bool StartChild(ChildProcess& child, const std::vector<std::string>& argv, int err_fd = -1) {
    if (argv.empty()) return false;
    std::vector<char*> args;  // built before the fork: the child only calls exec
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    // A child that stops reading must make a send fail, not end the caller.
    signal(SIGPIPE, SIG_IGN);
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);  // an ignored signal would stay ignored across exec
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (err_fd >= 0) dup2(err_fd, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        return false;
    }
    // Sends never block, so a full input pipe can be waited out while the
    // child's output is taken in (see SendText).
    fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
    child.pid = pid;
    child.to = in[1];
    child.from = out[0];
    child.pending.clear();
    return true;
}

// Waits up to timeout_ms for output and adds it to pending; false when none
// came in time or the output has ended (from is then closed).
inline bool ReadSome(ChildProcess& child, int timeout_ms) {
    if (child.from < 0) return false;
    pollfd p = {child.from, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[4096];
    const ssize_t n = read(child.from, buf, sizeof buf);
    if (n <= 0) {
        close(child.from);
        child.from = -1;
        return false;
    }
    child.pending.append(buf, size_t(n));
    return true;
}

// Writes all of text to the child's input; false when it stopped reading or
// the text did not fit in within timeout_ms. Output that arrives meanwhile is
// kept for the reads: a child blocked on its own full output pipe would
// never read on.
inline bool SendText(ChildProcess& child, const std::string& text, int timeout_ms) {
    const ChildClock::time_point deadline = ChildDeadline(timeout_ms);
    size_t sent = 0;
    while (sent < text.size()) {
        if (child.to < 0) return false;
        const ssize_t n = write(child.to, text.data() + sent, text.size() - sent);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN) return false;
        pollfd fds[2] = {{child.to, POLLOUT, 0}, {child.from, POLLIN, 0}};
        if (poll(fds, 2, MsUntil(deadline)) <= 0) return false;
        if (fds[1].revents) ReadSome(child, 0);
    }
    return true;
}

inline bool SendLine(ChildProcess& child, const std::string& line, int timeout_ms) {
    return SendText(child, line + "\n", timeout_ms);
}

// The next line of output without its line end; false when the output ends
// or no whole line arrives within timeout_ms.
inline bool ReadLine(ChildProcess& child, std::string& line, int timeout_ms) {
    const ChildClock::time_point deadline = ChildDeadline(timeout_ms);
    for (;;) {
        const size_t end = child.pending.find('\n');
        if (end != std::string::npos) {
            line = child.pending.substr(0, end);
            child.pending.erase(0, end + 1);
            return true;
        }
        if (!ReadSome(child, MsUntil(deadline))) return false;
    }
}

// Ends the child's input: it reads end of file once it has read the rest.
inline void CloseInput(ChildProcess& child) {
    if (child.to < 0) return;
    close(child.to);
    child.to = -1;
}

// Adds all the output not handed out yet to out, up to the end of the output;
// false when the output has not ended within timeout_ms (out then holds what
// came so far).
inline bool ReadToEnd(ChildProcess& child, std::string& out, int timeout_ms) {
    const ChildClock::time_point deadline = ChildDeadline(timeout_ms);
    while (child.from >= 0)
        if (!ReadSome(child, MsUntil(deadline)) && child.from >= 0) break;  // out of time
    out += child.pending;
    child.pending.clear();
    return child.from < 0;
}

// SIGKILL, which cannot be caught: for a child past its time limit.
inline void KillChild(ChildProcess& child) {
    if (child.pid > 0) kill(child.pid, SIGKILL);
}

// Closes the child's input and waits for it to end, killing it after
// timeout_ms. Gives its exit status; 128 + the number of the signal that ended
// it, as a shell reports it (137 when it was killed); -1 when there was no
// child to wait for. Output still unread is dropped.
inline int WaitChild(ChildProcess& child, int timeout_ms) {
    CloseInput(child);
    if (child.pid <= 0) return -1;
    const ChildClock::time_point deadline = ChildDeadline(timeout_ms);
    int status = 0;
    pid_t done;
    while ((done = waitpid(child.pid, &status, WNOHANG)) == 0) {
        if (MsUntil(deadline) == 0) {
            KillChild(child);
            done = waitpid(child.pid, &status, 0);
            break;
        }
        // Taking in its output keeps a child that writes on its way out from
        // blocking on a full pipe.
        if (!ReadSome(child, std::min(MsUntil(deadline), 10)) && child.from < 0) usleep(1000);
    }
    if (child.from >= 0) close(child.from);
    child.from = -1;
    child.pending.clear();
    child.pid = -1;
    if (done <= 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
