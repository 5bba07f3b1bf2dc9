// pixhoard-service: command line, signals, the ready line and --stop.
#include "service/service.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <signal.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pxh::service;

namespace {

constexpr const char* KUsage = R"(Usage: pixhoard-service [options]

Serves Pixhoard's uploads: the upload protocol, the FTP intake for large files and the links it hands out.

  --data DIR              data folder (default $XDG_DATA_HOME/pixhoard-service)
  --port N                HTTP port, 0 for any free one (default 47800)
  --listen ADDR           address to listen on (default 127.0.0.1)
  --public-root URL       prefix of every link handed out (default http://ADDR:PORT/)
  --ftp-port N            FTP intake port (default: HTTP port + 21; any free one with --port 0)
  --intake-account NAME   account name of the FTP intake (default pixhoard; its password is fixed)
  --passive-ports A-B     passive port range of the intake
  --intake-throttle N     test mode: the intake moves at most N bytes/s in each direction
  --no-intake             run without the FTP intake
  --account NAME:PASS     add or update an account (repeatable)
  --guest NAME:PASS       the shared guest credentials (default guest:plumb)
  --reservation-window S  seconds a reservation waits for its file (default 3600)
  --claim-window S        seconds an intake file waits for its claim (default 3600)
  --workers N             request worker threads (default 48)
  --test-mode             request log and scripted replies under /_test/, and the cloud-disk fake (loopback only)
  --fixtures DIR          with --test-mode: files served at /_test/files/NAME?type=T&status=N
  --verbose               log each request's method, path and status to stderr
  --stop                  end the service running on --port (default 47800) with this data folder
  --help                  this text

Prints "service ROOT ftp HOST:PORT" once both listeners accept connections; SIGTERM ends it.
)";

fs::path DefaultDataDir() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return fs::path(xdg) / "pixhoard-service";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/pixhoard-service";
}

fs::path PidFile(const fs::path& ADataDir, int APort) {
    return ADataDir / "run" / ("service-" + std::to_string(APort) + ".pid");
}

bool IsService(pid_t APid) {
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/" + std::to_string(APid) + "/exe", error);
    return !error && exe.filename() == "pixhoard-service";
}

int StopRunning(const fs::path& ADataDir, int APort) {
    std::ifstream in(PidFile(ADataDir, APort));
    pid_t pid = 0;
    if (!(in >> pid) || pid <= 0 || !IsService(pid)) {
        std::cerr << "pixhoard-service: no service runs on port " << APort << " with data in " << ADataDir
                  << "\n";
        return 1;
    }
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        // A zombie has no program any more: it is stopped, only not yet reaped by its parent.
        if (::kill(pid, 0) != 0 || !IsService(pid))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::cerr << "pixhoard-service: the service did not stop\n";
    return 1;
}

int Number(const std::string& AText, const char* AOption) {
    try {
        size_t used = 0;
        const int value = std::stoi(AText, &used);
        if (used == AText.size() && value >= 0)
            return value;
    } catch (const std::exception&) {
    }
    throw std::invalid_argument(std::string("bad number for ") + AOption);
}

std::pair<std::string, std::string> NamePassword(const std::string& AText, const char* AOption) {
    const auto colon = AText.find(':');
    if (colon == std::string::npos || colon == 0)
        throw std::invalid_argument(std::string(AOption) + " takes NAME:PASSWORD");
    return {AText.substr(0, colon), AText.substr(colon + 1)};
}

bool IsLoopback(const std::string& AAddress) {
    return AAddress.rfind("127.", 0) == 0 || AAddress == "::1" || AAddress == "localhost";
}

} // namespace

int main(int argc, char** argv) {
    TServiceSettings settings;
    std::vector<std::pair<std::string, std::string>> accounts;
    bool stop = false;
    bool ftpPortGiven = false;
    bool throttled = false;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw std::invalid_argument(option + " needs a value");
                return argv[++i];
            };
            if (option == "--help") {
                std::cout << KUsage;
                return 0;
            } else if (option == "--data") {
                settings.DataDir = value();
            } else if (option == "--port") {
                settings.Port = Number(value(), "--port");
            } else if (option == "--listen") {
                settings.ListenAddress = value();
            } else if (option == "--public-root") {
                settings.PublicRoot = value();
            } else if (option == "--ftp-port") {
                settings.IntakePort = Number(value(), "--ftp-port");
                ftpPortGiven = true;
            } else if (option == "--intake-account") {
                settings.IntakeAccount = value();
            } else if (option == "--passive-ports") {
                settings.IntakeArguments.insert(settings.IntakeArguments.end(), {"--passive-ports", value()});
            } else if (option == "--intake-throttle") {
                settings.IntakeArguments.insert(settings.IntakeArguments.end(), {"--throttle", value()});
                throttled = true;
            } else if (option == "--no-intake") {
                settings.StartIntake = false;
            } else if (option == "--account") {
                accounts.push_back(NamePassword(value(), "--account"));
            } else if (option == "--guest") {
                std::tie(settings.GuestUser, settings.GuestPassword) = NamePassword(value(), "--guest");
            } else if (option == "--reservation-window") {
                settings.ReservationSeconds = Number(value(), "--reservation-window");
            } else if (option == "--claim-window") {
                settings.ClaimSeconds = Number(value(), "--claim-window");
            } else if (option == "--workers") {
                settings.Workers = size_t(std::max(4, Number(value(), "--workers")));
            } else if (option == "--test-mode") {
                settings.TestMode = true;
            } else if (option == "--fixtures") {
                settings.FixtureDir = value();
            } else if (option == "--verbose") {
                settings.Verbose = true;
            } else if (option == "--stop") {
                stop = true;
            } else {
                throw std::invalid_argument("unknown option " + option);
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "pixhoard-service: " << error.what() << "\n" << KUsage;
        return 2;
    }
    if (settings.DataDir.empty())
        settings.DataDir = DefaultDataDir();
    if (stop)
        return StopRunning(settings.DataDir, settings.Port);
    if (throttled && !settings.TestMode) {
        std::cerr << "pixhoard-service: --intake-throttle needs --test-mode\n";
        return 2;
    }
    if (settings.TestMode && !IsLoopback(settings.ListenAddress)) {
        std::cerr << "pixhoard-service: --test-mode needs a loopback address\n";
        return 2;
    }
    if (!ftpPortGiven)
        settings.IntakePort = settings.Port == 0 ? 0 : settings.Port + 21;

    // Signals are taken by sigwait below; threads and the intake child must not see them first.
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&signals, signal);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    try {
        fs::create_directories(settings.DataDir / "run");
        // One service per data folder: two would share the intake folders and the store.
        const int lock =
            ::open((settings.DataDir / "run" / "service.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
            std::cerr << "pixhoard-service: another service uses " << settings.DataDir << "\n";
            return 1;
        }
        TService service(settings);
        for (const auto& [name, password] : accounts)
            service.Accounts().AddOrUpdate(name, password);
        service.Start();
        const fs::path pidFile = PidFile(settings.DataDir, service.HttpPort());
        {
            std::ofstream out(pidFile);
            out << ::getpid() << "\n";
        }
        std::cout << "service " << service.PublicRoot() << " ftp ";
        if (service.FtpPort() > 0)
            std::cout << service.IntakeHost() << ":" << service.FtpPort();
        else
            std::cout << "-";
        std::cout << std::endl;

        int received = 0;
        ::sigwait(&signals, &received);
        service.Stop();
        std::error_code error;
        fs::remove(pidFile, error);
    } catch (const std::exception& error) {
        std::cerr << "pixhoard-service: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
