#include "bench/child/child_run.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

ChildFigures measure(const std::function<int()>& child) {
    ChildFigures f;
    std::fflush(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return f;
    }
    if (pid == 0) _exit(child());
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        std::perror("wait4");
        return f;
    }
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    f.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    f.status = status;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    f.stopped = WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL);
    return f;
}

ChildFigures run_program(const std::vector<std::string>& argv, const std::string& dir, long cpu_limit) {
    return measure([&] {
        if (chdir(dir.c_str()) != 0) return 126;
        if (cpu_limit > 0) {
            const rlimit cpu{static_cast<rlim_t>(cpu_limit), static_cast<rlim_t>(cpu_limit + 5)};
            setrlimit(RLIMIT_CPU, &cpu);
        }
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        return 127;
    });
}

std::string figures_text(const ChildFigures& f) {
    char text[96];
    std::snprintf(text, sizeof text, "%8.2f s wall %8.2f s CPU %8.1f MiB peak%s", f.wall, f.cpu, f.peak_mib,
                  f.ok ? "" : (f.stopped ? "  STOPPED" : "  FAILED"));
    return text;
}

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string without_time_line(const std::string& text) {
    const std::size_t at = text.find("# generated on ");
    if (at == std::string::npos) return text;
    const std::size_t end = text.find('\n', at);
    return text.substr(0, at) + text.substr(end == std::string::npos ? text.size() : end + 1);
}

}  // namespace bench
