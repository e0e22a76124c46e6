// zentra-bench-run: runs one program and measures it.
//
//   zentra-bench-run [--cwd DIR] [--in FILE] [--out FILE] [--err FILE] -- PROGRAM [ARGS...]
//
// Prints one line on standard output:
//   wall=<seconds> user=<seconds> sys=<seconds> maxrss_kb=<KiB> exit=<status>
// wall is the monotonic time from just before the fork to the end of the wait;
// the times and the peak resident set come from the rusage of the program
// (wait4), so nothing of this runner is counted. exit is the program's exit
// status, or 128 + the signal that ended it. The runner's own status is that
// exit value, or 127 when the program could not be started.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

void Usage()
{
    std::fprintf(stderr,
                 "usage: zentra-bench-run [--cwd DIR] [--in FILE] [--out FILE] [--err FILE] -- PROGRAM [ARGS...]\n");
}

// In the child: puts a file in place of a standard stream, or ends the child.
void Redirect(const std::string& path, int stream, int flags)
{
    if (path.empty())
        return;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0 || ::dup2(fd, stream) < 0) {
        std::fprintf(stderr, "zentra-bench-run: %s: %s\n", path.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    ::close(fd);
}

double Seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string cwd, in, out, err;
    int first = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--") {
            first = i + 1;
            break;
        }
        if (i + 1 >= argc) {
            Usage();
            return 2;
        }
        if (option == "--cwd")
            cwd = argv[++i];
        else if (option == "--in")
            in = argv[++i];
        else if (option == "--out")
            out = argv[++i];
        else if (option == "--err")
            err = argv[++i];
        else {
            Usage();
            return 2;
        }
    }
    if (first < 0 || first >= argc) {
        Usage();
        return 2;
    }
    std::vector<char*> arguments(argv + first, argv + argc);
    arguments.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("zentra-bench-run: fork");
        return 127;
    }
    if (child == 0) {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
            std::fprintf(stderr, "zentra-bench-run: %s: %s\n", cwd.c_str(), std::strerror(errno));
            ::_exit(127);
        }
        Redirect(in, STDIN_FILENO, O_RDONLY);
        Redirect(out, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        Redirect(err, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        ::execvp(arguments[0], arguments.data());
        std::fprintf(stderr, "zentra-bench-run: %s: %s\n", arguments[0], std::strerror(errno));
        ::_exit(127);
    }

    int status = 0;
    rusage usage{};
    pid_t waited;
    do {
        waited = ::wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    const auto end = std::chrono::steady_clock::now();
    if (waited < 0) {
        std::perror("zentra-bench-run: wait4");
        return 127;
    }
    int exitCode = 127;
    if (WIFEXITED(status))
        exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exitCode = 128 + WTERMSIG(status);
    const double wall = std::chrono::duration<double>(end - start).count();
    std::printf("wall=%.6f user=%.6f sys=%.6f maxrss_kb=%ld exit=%d\n", wall, Seconds(usage.ru_utime),
                Seconds(usage.ru_stime), usage.ru_maxrss, exitCode);
    return exitCode;
}
