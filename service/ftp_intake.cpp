// Starting the intake child so it never outlives the service, and reading its ready line.
#include "service/ftp_intake.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pxh::service {

namespace fs = std::filesystem;

TFtpIntake::TFtpIntake(TFtpIntakeOptions AOptions)
    : FOptions(std::move(AOptions)) {}

TFtpIntake::~TFtpIntake() {
    Stop();
}

fs::path TFtpIntake::FindScript() {
    if (const char* env = std::getenv("PIXHOARD_FTP_INTAKE_SCRIPT"))
        return env;
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        for (const auto& candidate : {exe.parent_path() / "ftp_intake.py",
                                      exe.parent_path().parent_path() / "share/pixhoard/ftp_intake.py"})
            if (fs::exists(candidate))
                return candidate;
    }
    return fs::path(PIXHOARD_SERVICE_SOURCE_DIR) / "ftp_intake.py";
}

void TFtpIntake::Start() {
    std::vector<std::string> arguments = {
        FOptions.Python, FOptions.Script.empty() ? FindScript().string() : FOptions.Script.string(),
        "--host",        FOptions.Host,
        "--port",        std::to_string(FOptions.Port),
        "--root",        FOptions.Root.string(),
        "--user",        FOptions.User,
        "--password",    FOptions.Password};
    arguments.insert(arguments.end(), FOptions.ExtraArguments.begin(), FOptions.ExtraArguments.end());
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // The intake must end with the service, also when the service is killed outright.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    FPid = pid;

    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd item{pipeFds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&item, 1, int(left.count())) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, size_t(n));
    }
    ::close(pipeFds[0]);
    if (line.rfind("ready ", 0) != 0) {
        Stop();
        throw std::runtime_error("the FTP intake did not start");
    }
    FPort = std::atoi(line.c_str() + 6);
}

bool TFtpIntake::RestartIfDead() {
    if (FPid <= 0 || ::waitpid(FPid, nullptr, WNOHANG) != FPid)
        return false;
    FPid = -1;
    // Clients were told this port; a new one would strand them.
    FOptions.Port = FPort;
    Start();
    return true;
}

void TFtpIntake::Stop() {
    if (FPid <= 0)
        return;
    ::kill(FPid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
            FPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
}

} // namespace pxh::service
