#include "InverterModel.h"

#include "core/NumberText.h"
#include "inverter/RatedInfo.h"
#include "inverter/SettingCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace quorvane::sim {

namespace {

// Shaped like a real unit's main-values reply: 21 fields, the device status bits
// ("00110110": charging on, from solar, not from the line) at reply characters 88 to 90.
const std::vector<std::string> kDefaultMainFields = {
    "230.0", "50.0", "230.0", "49.9", "0161", "0119", "003", "460", "57.50", "012", "100",
    "0069", "0014", "103.8", "57.45", "00000", "00110110", "00", "00", "00856", "010",
};

// Rated information; field 17 is the output source priority.
const std::vector<std::string> kDefaultRatedFields = {
    "230.0", "21.7", "230.0", "50.0", "21.7", "5000", "4000", "48.0", "46.0", "42.0", "56.4", "54.0",
    "2", "02", "060", "0", "2", "3", "1", "01", "0", "0", "54.0", "0", "1",
};

constexpr int kPriorityField = 17;
constexpr int kBatteryRatingField = static_cast<int>(RatedField::BatteryRating);
const std::vector<int> kChargingSteps = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
const std::vector<int> kUtilityChargingSteps = {2, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
constexpr int kStatusBitsField = 17;
constexpr std::uint8_t kNoiseByte = 0xF6;
constexpr std::uint8_t kLineFeed = 0x0A;
constexpr int kPowerFields[] = {5, 6};
constexpr int kDefaultMainValuesLength = 110;
const std::string kDefaultSerialNumber = "92932004102453";
const std::string kNoWarnings(36, '0');

std::string joinFields(const std::vector<std::string>& fields)
{
    std::string payload;
    for (const auto& field : fields) {
        if (!payload.empty())
            payload += ' ';
        payload += field;
    }
    return payload;
}

// Left-pads a number with zeros to `digits` characters.
std::string widened(const std::string& value, int digits)
{
    const auto width = static_cast<size_t>(digits);
    return value.size() >= width ? value : std::string(width - value.size(), '0') + value;
}

// "010 020 030": three digits each, as units list them.
std::string stepsPayload(const std::vector<int>& amperes)
{
    std::string payload;
    for (const int step : amperes) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%s%03d", payload.empty() ? "" : " ", step);
        payload += digits;
    }
    return payload;
}

// A setting's value as the rated information shows it: "1" (a choice), "030", "46.0", "00.0".
std::string ratedFieldText(ChargerSetting setting, double value)
{
    switch (KindOf(setting)) {
    case SettingKind::Choice:
        return std::to_string(std::lround(value));
    case SettingKind::Current:
        return widened(std::to_string(std::lround(value)), 3);
    case SettingKind::Voltage:
        break;
    }
    return widened(FormatFixed(std::round(value * 10.0) / 10.0, 1), 4);
}

} // namespace

// "...00 00 00856 010" + CRC + CR LF of an earlier reply: no "(", a CR of its own.
const Bytes InverterModel::kDefaultStaleBytes = {'0', '1', '0', 0xA9, 0x79, kCarriageReturn, kLineFeed};

std::span<const InverterModel::MainValuesShape> InverterModel::shapes()
{
    // Plain constants: nothing to destroy at exit while the tool's console thread may still
    // be reading them.
    static constexpr MainValuesShape kAll[] = {
        {94, 17, 4, ""},
        {110, 21, 4, ""},
        {112, 21, 5, ""},
        {119, 21, 4, "1 02 123"},
        {120, 21, 4, "0 00 0000"},
        {122, 21, 5, "0 00 0000"},
    };
    return kAll;
}

InverterModel::InverterModel()
    : m_mainFields(kDefaultMainFields)
    , m_mainShape(shapes()[1])
    , m_ratedFields(kDefaultRatedFields)
    , m_chargingSteps(kChargingSteps)
    , m_utilityChargingSteps(kUtilityChargingSteps)
    , m_serialNumber(kDefaultSerialNumber)
    , m_warningBits(kNoWarnings)
{
    m_modeLetter = 'L';
}

Bytes InverterModel::FrameReply(std::string_view payload)
{
    Bytes reply;
    reply.reserve(payload.size() + 4);
    reply.push_back(kReplyStart);
    for (const char letter : payload)
        reply.push_back(static_cast<std::uint8_t>(letter));
    const std::uint16_t crc = InverterCrc(reply);
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    reply.push_back(kCarriageReturn);
    return reply;
}

void InverterModel::SetMainField(int field, std::string value)
{
    const std::lock_guard lock(m_mutex);
    if (field >= 1 && field <= kMainFieldCount)
        m_mainFields[static_cast<size_t>(field - 1)] = std::move(value);
}

std::string InverterModel::MainField(int field) const
{
    const std::lock_guard lock(m_mutex);
    if (field < 1 || field > kMainFieldCount)
        return {};
    return m_mainFields[static_cast<size_t>(field - 1)];
}

void InverterModel::SetLinePresent(bool present)
{
    SetMainField(1, present ? "230.0" : "000.0");
    SetMainField(2, present ? "50.0" : "00.0");
}

void InverterModel::SetStatusBits(bool chargeOn, bool solarCharging, bool lineCharging)
{
    const std::lock_guard lock(m_mutex);
    std::string& bits = m_mainFields[kStatusBitsField - 1];
    bits.resize(8, '0');
    bits[5] = chargeOn ? '1' : '0';
    bits[6] = solarCharging ? '1' : '0';
    bits[7] = lineCharging ? '1' : '0';
}

void InverterModel::SetModeLetter(char letter)
{
    const std::lock_guard lock(m_mutex);
    m_modeLetter = letter;
}

char InverterModel::ModeLetter() const
{
    const std::lock_guard lock(m_mutex);
    return m_modeLetter;
}

void InverterModel::SetOutputPriority(int code)
{
    SetRatedField(kPriorityField, std::to_string(code));
}

int InverterModel::OutputPriority() const
{
    const std::lock_guard lock(m_mutex);
    return std::stoi(m_ratedFields[kPriorityField - 1]);
}

void InverterModel::SetRatedField(int field, std::string value)
{
    const std::lock_guard lock(m_mutex);
    putRatedField(field, std::move(value));
}

void InverterModel::putRatedField(int field, std::string value)
{
    if (field < 1)
        return;
    if (static_cast<size_t>(field) > m_ratedFields.size())
        m_ratedFields.resize(static_cast<size_t>(field), "0");
    m_ratedFields[static_cast<size_t>(field - 1)] = std::move(value);
}

std::string InverterModel::RatedFieldText(int field) const
{
    const std::lock_guard lock(m_mutex);
    if (field < 1 || static_cast<size_t>(field) > m_ratedFields.size())
        return {};
    return m_ratedFields[static_cast<size_t>(field - 1)];
}

bool InverterModel::SetBatteryVoltage(int volts)
{
    if (volts != 12 && volts != 24 && volts != 48)
        return false;
    const std::lock_guard lock(m_mutex);
    const double rating = TextToDouble(m_ratedFields[kBatteryRatingField - 1]);
    const double scale = volts / (rating > 0.0 ? rating : 48.0);
    for (const ChargerSetting setting : kChargerSettings) {
        const int field = static_cast<int>(RatedFieldOf(setting));
        if (KindOf(setting) == SettingKind::Voltage && static_cast<size_t>(field) <= m_ratedFields.size())
            putRatedField(field, ratedFieldText(setting, TextToDouble(m_ratedFields[static_cast<size_t>(field - 1)]) * scale));
    }
    putRatedField(kBatteryRatingField, FormatFixed(volts, 1));
    return true;
}

void InverterModel::SetChargingSteps(std::vector<int> amperes)
{
    const std::lock_guard lock(m_mutex);
    m_chargingSteps = std::move(amperes);
}

void InverterModel::SetUtilityChargingSteps(std::vector<int> amperes)
{
    const std::lock_guard lock(m_mutex);
    m_utilityChargingSteps = std::move(amperes);
}

void InverterModel::SetIgnoreSettings(bool ignore)
{
    const std::lock_guard lock(m_mutex);
    m_ignoreSettings = ignore;
}

std::string InverterModel::applySetting(const SettingRequest& request)
{
    const auto rated = DecodeRatedInfo(ratedPayload());
    const CurrentSteps steps{m_chargingSteps, m_utilityChargingSteps};
    if (!rated || !CheckSetting(request.Setting, request.Value, *rated, steps).Ok())
        return "NAK";
    if (!m_ignoreSettings)
        putRatedField(static_cast<int>(RatedFieldOf(request.Setting)), ratedFieldText(request.Setting, request.Value));
    return "ACK";
}

void InverterModel::SetWarningBits(std::string bits)
{
    const std::lock_guard lock(m_mutex);
    m_warningBits = std::move(bits);
}

void InverterModel::SetSecondPv(std::string payload)
{
    const std::lock_guard lock(m_mutex);
    m_secondPv = std::move(payload);
}

std::string InverterModel::WarningBits() const
{
    const std::lock_guard lock(m_mutex);
    return m_warningBits;
}

void InverterModel::SetSerialNumber(std::string digits)
{
    const std::lock_guard lock(m_mutex);
    m_serialNumber = std::move(digits);
}

std::string InverterModel::SerialNumber() const
{
    const std::lock_guard lock(m_mutex);
    return m_serialNumber;
}

void InverterModel::SetSerialNumberLength(int digits)
{
    std::string number;
    while (static_cast<int>(number.size()) < digits)
        number += kDefaultSerialNumber;
    number.resize(static_cast<size_t>(std::max(digits, 0)));
    SetSerialNumber(std::move(number));
}

bool InverterModel::SetMainValuesLength(int bytes)
{
    for (const MainValuesShape& shape : shapes()) {
        if (shape.length == bytes) {
            const std::lock_guard lock(m_mutex);
            m_mainShape = shape;
            return true;
        }
    }
    return false;
}

void InverterModel::SetLineFeedAfterCr(bool on)
{
    const std::lock_guard lock(m_mutex);
    m_lineFeedAfterCr = on;
}

void InverterModel::SetStaleBytes(Bytes bytes)
{
    const std::lock_guard lock(m_mutex);
    m_staleBytes = std::move(bytes);
}

void InverterModel::SetRefused(const std::string& command, bool refused)
{
    const std::lock_guard lock(m_mutex);
    if (refused)
        m_refused.insert(command);
    else
        m_refused.erase(command);
}

void InverterModel::ClearRefusals()
{
    const std::lock_guard lock(m_mutex);
    m_refused.clear();
}

void InverterModel::SetRawReply(const std::string& command, Bytes reply)
{
    const std::lock_guard lock(m_mutex);
    m_rawReplies[command] = std::move(reply);
}

void InverterModel::ClearRawReplies()
{
    const std::lock_guard lock(m_mutex);
    m_rawReplies.clear();
}

void InverterModel::SetFullSpeed(bool fullSpeed)
{
    const std::lock_guard lock(m_mutex);
    m_fullSpeed = fullSpeed;
}

void InverterModel::SetAnswerDelay(std::chrono::milliseconds delay)
{
    const std::lock_guard lock(m_mutex);
    m_answerDelay = delay;
}

void InverterModel::InjectFault(const FaultSpec& fault)
{
    const std::lock_guard lock(m_mutex);
    m_faults.push_back(fault);
}

void InverterModel::ClearFaults()
{
    const std::lock_guard lock(m_mutex);
    m_faults.clear();
}

void InverterModel::Unplug()
{
    const std::lock_guard lock(m_mutex);
    m_unplugged = true;
}

void InverterModel::PlugIn()
{
    const std::lock_guard lock(m_mutex);
    m_unplugged = false;
}

bool InverterModel::Unplugged() const
{
    const std::lock_guard lock(m_mutex);
    return m_unplugged;
}

void InverterModel::NoteReceivedBytes(size_t count)
{
    const std::lock_guard lock(m_mutex);
    m_receivedBytes += count;
}

size_t InverterModel::ReceivedByteCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_receivedBytes;
}

std::vector<std::string> InverterModel::ReceivedCommands() const
{
    const std::lock_guard lock(m_mutex);
    return m_commands;
}

Bytes InverterModel::MainValuesReply() const
{
    const std::lock_guard lock(m_mutex);
    return FrameReply(mainPayload());
}

std::string InverterModel::mainPayload() const
{
    std::vector<std::string> fields(m_mainFields.begin(), m_mainFields.begin() + m_mainShape.fieldCount);
    for (const int field : kPowerFields)
        fields[static_cast<size_t>(field - 1)] = widened(fields[static_cast<size_t>(field - 1)], m_mainShape.powerDigits);
    if (*m_mainShape.extraFields != '\0')
        fields.emplace_back(m_mainShape.extraFields);
    return joinFields(fields);
}

std::string InverterModel::ratedPayload() const
{
    return joinFields(m_ratedFields);
}

Bytes InverterModel::replyFor(const std::string& command)
{
    if (m_refused.count(command) != 0)
        return FrameReply("NAK");
    if (const auto raw = m_rawReplies.find(command); raw != m_rawReplies.end())
        return raw->second;
    if (command == "QPIGS")
        return FrameReply(mainPayload());
    if (command == "QMOD")
        return FrameReply(std::string(1, m_modeLetter));
    if (command == "QID")
        return FrameReply(m_serialNumber);
    if (command == "QPIRI")
        return FrameReply(ratedPayload());
    if (command == "QPIWS")
        return FrameReply(m_warningBits);
    if (command == "QPIGS2" && !m_secondPv.empty())
        return FrameReply(m_secondPv);
    if (command == "POP00" || command == "POP01" || command == "POP02") {
        m_ratedFields[kPriorityField - 1] = std::string(1, command.back());
        return FrameReply("ACK");
    }
    // A unit with no list of charging currents refuses to list them.
    if (command == "QMCHGCR" && !m_chargingSteps.empty())
        return FrameReply(stepsPayload(m_chargingSteps));
    if (command == "QMUCHGCR" && !m_utilityChargingSteps.empty())
        return FrameReply(stepsPayload(m_utilityChargingSteps));
    if (const auto request = ParseSettingCommand(command))
        return FrameReply(applySetting(*request));
    return FrameReply("NAK");
}

ReplySchedule InverterModel::Answer(std::span<const std::uint8_t> request)
{
    const std::lock_guard lock(m_mutex);
    if (m_unplugged)
        return {};
    // A request is its letters, two CRC bytes and the CR.
    std::string command;
    bool frameOk = request.size() >= 3 && request.back() == kCarriageReturn;
    if (frameOk) {
        const auto letters = request.first(request.size() - 3);
        command.assign(letters.begin(), letters.end());
        const std::uint16_t crc = InverterCrc(letters);
        frameOk = request[letters.size()] == (crc >> 8) && request[letters.size() + 1] == (crc & 0xFF);
    }
    m_commands.push_back(frameOk ? command : std::string("?"));

    Bytes reply = frameOk ? replyFor(command) : FrameReply("NAK");

    std::optional<FaultSpec> fault;
    if (!m_faults.empty()) {
        fault = m_faults.front();
        FaultSpec& pending = m_faults.front();
        if (pending.times > 0 && --pending.times == 0)
            m_faults.pop_front();
    }
    if (!fault)
        return schedule(reply, request.size(), nullptr);

    switch (fault->kind) {
    case Fault::NoAnswer:
        return {};
    case Fault::Unplug:
        m_unplugged = true;
        return {};
    case Fault::WrongCrc:
        if (reply.size() >= 2)
            ++reply[reply.size() - 2];
        break;
    case Fault::Truncated:
        reply.resize(reply.size() / 2);
        break;
    case Fault::Garbage:
        if (reply.size() > 4)
            reply[reply.size() / 2] = kNoiseByte;
        break;
    case Fault::ExtraBytes:
        reply.insert(reply.end(), fault->extra.begin(), fault->extra.end());
        break;
    case Fault::Delay:
    case Fault::SplitWithPauses:
        break;
    }
    return schedule(reply, request.size(), &*fault);
}

ReplySchedule InverterModel::schedule(const Bytes& reply, size_t requestLength, const FaultSpec* fault) const
{
    const auto byteTime = m_fullSpeed ? std::chrono::microseconds{0} : kByteTime;
    // A pty hands the request over at once; on a real line it takes its own bytes' time to
    // arrive, so at real pace that time comes before the answer too.
    std::chrono::microseconds at = byteTime * static_cast<long>(requestLength) + m_answerDelay;
    if (fault != nullptr && fault->kind == Fault::Delay)
        at += fault->duration;
    ReplySchedule timed;
    // Bytes that come before the reply (an echo, the rest of an earlier reply) are on their
    // way while the request still comes in; the reply still waits for the answer delay (or for
    // them, when they take longer).
    std::chrono::microseconds staleAt{0};
    for (const std::uint8_t byte : m_staleBytes) {
        staleAt += byteTime;
        timed.push_back({staleAt, byte});
    }
    at = std::max(at, staleAt);
    Bytes sent = reply;
    if (m_lineFeedAfterCr && !sent.empty() && sent.back() == kCarriageReturn)
        sent.push_back(kLineFeed);
    for (size_t i = 0; i < sent.size(); ++i) {
        if (i > 0 && fault != nullptr && fault->kind == Fault::SplitWithPauses && fault->chunk > 0
            && i % static_cast<size_t>(fault->chunk) == 0)
            at += fault->duration;
        at += byteTime; // a byte is there once its last bit has arrived
        timed.push_back({at, sent[i]});
    }
    return timed;
}

} // namespace quorvane::sim
