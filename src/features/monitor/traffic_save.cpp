#include "features/monitor/traffic_save.h"

#include <optional>

#include "platform/atomic_file.h"

namespace morvik::features {

TrafficSave::TrafficSave(channel::Monitor& monitor, UserInteraction& user, std::string programFolder,
                         channel::WallClock clock)
    : record_(monitor, std::move(clock)), user_(user), programFolder_(std::move(programFolder)) {}

void TrafficSave::SaveTraffic() {
    const std::optional<std::string> path = user_.SaveFileName({programFolder_, "traffic.log"});
    if (!path) return;
    if (const std::optional<std::string> error = platform::WriteFileAtomically(*path, record_.Text())) {
        user_.ShowError("The traffic could not be saved to " + *path + ": " + *error);
    }
}

}  // namespace morvik::features
