#include "session/settings.h"

#include "platform/ini_file.h"

namespace morvik::session {

namespace {

constexpr const char* kCommon = "Common";
constexpr const char* kCommunication = "Communication";
constexpr const char* kSerialDevices = "SerialDevices";

}  // namespace

SettingsFile ReadSettings(const std::string& folder) {
    SettingsFile result;
    platform::IniFile file;
    if (!file.Load(folder + kSettingsFileName)) {
        result.error = file.Error();
        return result;
    }
    Settings& s = result.settings;
    s.viewMode = file.ReadInteger(kCommon, "ViewMode", s.viewMode);
    s.viewMonitor = file.ReadBool(kCommon, "ViewMonitor", s.viewMonitor);
    s.wsIp = file.ReadString(kCommunication, "WS_IP");
    s.wsPort = file.ReadString(kCommunication, "WS_Port");
    s.port = file.ReadInteger(kCommunication, "Port", s.port);
    s.baud = file.ReadInteger(kCommunication, "Baud", s.baud);
    s.winSocket = file.ReadBool(kCommunication, "WinSocket", s.winSocket);
    s.serialDevices = file.Entries(kSerialDevices);
    return result;
}

std::string WriteSettings(const std::string& folder, const Settings& settings) {
    platform::IniFile file;
    if (!file.Load(folder + kSettingsFileName)) return file.Error();
    file.WriteInteger(kCommon, "ViewMode", settings.viewMode);
    file.WriteBool(kCommon, "ViewMonitor", settings.viewMonitor);
    file.WriteBool(kCommunication, "WinSocket", settings.winSocket);
    file.WriteInteger(kCommunication, "Port", settings.port);
    file.WriteString(kCommunication, "WS_IP", settings.wsIp);
    file.WriteString(kCommunication, "WS_Port", settings.wsPort);
    if (!file.Save()) return file.Error();
    return {};
}

}  // namespace morvik::session
