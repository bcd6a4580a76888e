// Programs a test or benchmark starts as child processes, and the pipes they talk through.
#pragma once

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <stdexcept>

namespace apptest {

// One pipe; each end closed once. Values go as whole 32-bit integers.
class TPipe {
public:
    TPipe() {
        if (::pipe(FFd) != 0) throw std::runtime_error("pipe");
    }
    ~TPipe() {
        CloseRead();
        CloseWrite();
    }
    TPipe(const TPipe&) = delete;
    TPipe& operator=(const TPipe&) = delete;
    void CloseRead() { Close(FFd[0]); }
    void CloseWrite() { Close(FFd[1]); }
    bool Put(int32_t Value) { return ::write(FFd[1], &Value, sizeof Value) == sizeof Value; }
    // False once every writer has closed its end.
    bool Get(int32_t& Value) {
        auto* p = reinterpret_cast<char*>(&Value);
        size_t got = 0;
        while (got < sizeof Value) {
            const ssize_t n = ::read(FFd[0], p + got, sizeof Value - got);
            if (n <= 0) return false;
            got += static_cast<size_t>(n);
        }
        return true;
    }
    // True once every writer has closed its end; never waits.
    bool Closed() {
        pollfd p{FFd[0], POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN);
    }

private:
    static void Close(int& Fd) {
        if (Fd >= 0) ::close(Fd);
        Fd = -1;
    }
    int FFd[2] = {-1, -1};
};

// A program run by the test: Body runs in a child process that its own alarm ends after a minute.
class TProgram {
public:
    explicit TProgram(const std::function<bool()>& Body) {
        FPid = ::fork();
        if (FPid != 0) return;
        ::alarm(60);
        bool ok = false;
        try {
            ok = Body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "program %d: %s\n", static_cast<int>(::getpid()), e.what());
        }
        ::_exit(ok ? 0 : 1);
    }
    ~TProgram() { Wait(); }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;
    // Whether Body returned true.
    bool Wait() {
        if (FPid > 0) {
            int status = 0;
            ::waitpid(FPid, &status, 0);
            FOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            FPid = -1;
        }
        return FOk;
    }

private:
    pid_t FPid = -1;
    bool FOk = false;
};

}  // namespace apptest
