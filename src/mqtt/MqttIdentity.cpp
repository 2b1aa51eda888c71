#include "mqtt/MqttIdentity.h"

#include <cctype>

namespace quorvane {

namespace {

// Letters, digits, "-" and "_" stay; anything else (the topic separators and wildcards among
// them) becomes "_".
std::string topicSafe(const std::string& text)
{
    std::string safe;
    for (const char c : text)
        safe += std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ? c : '_';
    return safe;
}

std::string fileNameWithoutExtension(const std::string& path)
{
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string withoutTrailingSlashes(std::string text)
{
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

MqttIdentity IdentityFor(const MqttSettings& settings, const std::string& serialNumber, const std::string& settingsPath)
{
    MqttIdentity identity;
    if (!serialNumber.empty())
        identity.DeviceId = topicSafe(serialNumber);
    else if (!settings.DeviceId.empty())
        identity.DeviceId = topicSafe(settings.DeviceId);
    else
        identity.DeviceId = topicSafe(fileNameWithoutExtension(settingsPath));
    if (identity.DeviceId.empty())
        identity.DeviceId = "quorvane";
    const std::string prefix = withoutTrailingSlashes(settings.TopicPrefix);
    identity.TopicPrefix = prefix.empty() ? "quorvane/" + identity.DeviceId : prefix;
    identity.ClientId = settings.ClientId.empty() ? "quorvane-" + identity.DeviceId : settings.ClientId;
    return identity;
}

} // namespace quorvane
