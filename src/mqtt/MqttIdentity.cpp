#include "mqtt/MqttIdentity.h"

#include <QFileInfo>

#include <cctype>
#include <cstdint>
#include <cstdio>

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

// The settings file's name with a short mark of its whole path: two programs whose files have
// the same name in different folders must never share a client id or topics. FNV-1a, so the
// mark is the same in every run.
std::string fileDeviceId(const std::string& settingsPath)
{
    const QByteArray path = QFileInfo(QString::fromStdString(settingsPath)).absoluteFilePath().toUtf8();
    std::uint32_t hash = 2166136261U;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619U;
    }
    char mark[9];
    std::snprintf(mark, sizeof mark, "%08x", hash);
    return topicSafe(fileNameWithoutExtension(settingsPath)) + "-" + mark;
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
        identity.DeviceId = fileDeviceId(settingsPath);
    if (identity.DeviceId.empty())
        identity.DeviceId = "quorvane";
    const std::string prefix = withoutTrailingSlashes(settings.TopicPrefix);
    identity.TopicPrefix = prefix.empty() ? "quorvane/" + identity.DeviceId : prefix;
    identity.ClientId = settings.ClientId.empty() ? "quorvane-" + identity.DeviceId : settings.ClientId;
    return identity;
}

} // namespace quorvane
