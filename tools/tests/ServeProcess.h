#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The server process with its standard output and error on pipes; killed at scope exit if still running.
class ServeProcess {
public:
    explicit ServeProcess(const std::vector<std::string>& args)
    {
        int out[2];
        int err[2];
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<std::string> all = { EBOOK_PACK_PATH, "serve" };
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, EBOOK_PACK_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    ~ServeProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    // The first line of standard output, waiting at most ten seconds.
    std::string FirstLine()
    {
        std::string line;
        char c;
        while (line.find('\n') == std::string::npos) {
            pollfd ready { out_, POLLIN, 0 };
            if (::poll(&ready, 1, 10000) <= 0 || ::read(out_, &c, 1) != 1)
                break;
            line += c;
        }
        return line;
    }

    // The next line of standard output after those read, waiting at most ten seconds.
    std::string NextLine() { return FirstLine(); }

    // Sends the signal (none: just waits) and returns the exit status, or -1 after ten seconds.
    int Stop(int signal)
    {
        if (signal != 0)
            ::kill(pid_, signal);
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10000);
        }
        return -1;
    }

    std::string Errors()
    {
        std::string text;
        char buffer[512];
        ssize_t n;
        while ((n = ::read(err_, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};
