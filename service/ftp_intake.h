// The FTP intake: a pyftpdlib child process, started, watched and stopped by the service.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pxh::service {

struct TFtpIntakeOptions {
    std::string Python = "/usr/bin/python3";
    std::filesystem::path Script;
    std::string Host = "127.0.0.1";
    int Port = 0;
    std::filesystem::path Root;
    std::string User = "pixhoard";
    std::string Password = "pebbleton";
    std::vector<std::string> ExtraArguments;
};

class TFtpIntake {
public:
    explicit TFtpIntake(TFtpIntakeOptions AOptions);
    ~TFtpIntake();
    TFtpIntake(const TFtpIntake&) = delete;
    TFtpIntake& operator=(const TFtpIntake&) = delete;

    // Starts the child and returns once it accepts connections; throws when it does not come up.
    void Start();
    void Stop();
    // Starts the intake again on its port when it has died; true when it had to.
    bool RestartIfDead();
    int Port() const { return FPort; }
    bool Running() const { return FPid > 0; }

    // ftp_intake.py beside the program, in its share folder, or in the source tree.
    static std::filesystem::path FindScript();

private:
    TFtpIntakeOptions FOptions;
    pid_t FPid = -1;
    int FPort = 0;
};

} // namespace pxh::service
