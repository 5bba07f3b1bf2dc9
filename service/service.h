// TService: the HTTP routes of the upload service, its FTP intake, test mode and the cloud-disk fake.
#pragma once

#include "service/account_store.h"
#include "service/test_control.h"
#include "service/upload_store.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace pxh::service {

struct TServiceSettings {
    std::string ListenAddress = "127.0.0.1";
    int Port = 47800;       // 0: any free port
    std::string PublicRoot; // default http://<address>:<port>/
    std::filesystem::path DataDir;
    std::string GuestUser = "guest";
    std::string GuestPassword = "plumb";

    bool StartIntake = true;
    int IntakePort = 0;
    std::string IntakeAccount = "pixhoard";
    std::string IntakePassword = "pebbleton";
    std::vector<std::string> IntakeArguments; // passed on to ftp_intake.py (passive ports, faults)

    int64_t ReservationSeconds = 3600;
    int64_t ClaimSeconds = 3600;
    int64_t GuestFileLimit = 3145728;
    size_t TextFieldCap = 64 * 1024;
    size_t BodyCap = size_t(4) << 30;
    TGalleryLimits Gallery;
    size_t Workers = 48;

    std::string Version; // offered by the update query; default: the version this service was built with
    std::string VersionUrl;
    bool TestMode = false;
    std::filesystem::path FixtureDir; // served under /_test/files/ in test mode
    bool Verbose = false;
};

class TService {
public:
    explicit TService(TServiceSettings ASettings);
    ~TService();
    TService(const TService&) = delete;
    TService& operator=(const TService&) = delete;

    // Binds the HTTP port, starts the intake and serves on a thread of its own; throws when a listener fails.
    void Start();
    void Stop();

    int HttpPort() const;
    int FtpPort() const;
    const std::string& PublicRoot() const;
    std::string IntakeHost() const;

    TAccountStore& Accounts();
    TUploadStore& Uploads();
    TTestControl& TestControl();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace pxh::service
