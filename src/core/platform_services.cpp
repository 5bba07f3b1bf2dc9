#include "core/platform_services.h"

namespace pxh {

std::mutex& TPlatformServices::Mutex() {
    static std::mutex m;
    return m;
}

std::vector<std::shared_ptr<IPXHService>>& TPlatformServices::Services() {
    static std::vector<std::shared_ptr<IPXHService>> services;
    return services;
}

void TPlatformServices::Register(std::shared_ptr<IPXHService> AService) {
    std::lock_guard lock(Mutex());
    Services().push_back(std::move(AService));
}

void TPlatformServices::Clear() {
    std::vector<std::shared_ptr<IPXHService>> released;
    {
        std::lock_guard lock(Mutex());
        released.swap(Services());
    }
}

} // namespace pxh
