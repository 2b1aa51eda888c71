#pragma once

#include "inverter/ChargerSettings.h"
#include "inverter/Frame.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace quorvane::sim {

// What can go wrong with a reply, on demand.
enum class Fault {
    NoAnswer,         // the request is swallowed
    WrongCrc,         // the low CRC byte is off by one
    Truncated,        // only the first half of the reply is sent
    Garbage,          // a byte in the middle of the payload is replaced by 0xF6 (line noise)
    ExtraBytes,       // bytes (a LF by default) follow the CR
    Delay,            // the answer starts `duration` later than usual
    SplitWithPauses,  // a pause of `duration` after every `chunk` bytes
    Unplug,           // the line goes away: the pty is closed, reads and writes fail
};

struct FaultSpec {
    Fault kind = Fault::NoAnswer;
    int times = 1;                          // replies it applies to; -1 = every reply from now on
    std::chrono::milliseconds duration{100}; // Delay, SplitWithPauses
    int chunk = 16;                          // SplitWithPauses
    Bytes extra{0x0A};                       // ExtraBytes
};

// One byte of a reply and when it has fully arrived, counted from the moment the request
// reached the simulator.
struct TimedByte {
    std::chrono::microseconds at;
    std::uint8_t value;
};
using ReplySchedule = std::vector<TimedByte>;

// The inverter's side of the protocol: a scenario of values tests can set, the answers to
// "QPIGS", "QMOD", "QID", "QPIRI", "QPIWS", "QPIGS2" (with a second PV input), "QMCHGCR",
// "QMUCHGCR", "POP00".."POP02" and the charger and battery settings (ChargerSettings.h:
// "PCP01", "MCHGC030", "MNCHGC0030", "PBCV46.0", ...; anything else gets "(NAK"), the
// habits in which real units differ (serial number length, main-values reply shape, a LF
// after every CR, bytes before every reply, commands refused), and fault injection.
// Thread-safe: the line thread answers while a test changes the scenario.
class InverterModel {
public:
    // 2400 baud, 8N1: ten bit times per byte.
    static constexpr std::chrono::microseconds kByteTime{4167};
    static constexpr std::chrono::milliseconds kDefaultAnswerDelay{50};
    static constexpr int kMainFieldCount = 21;
    // The main-values reply lengths real units send, in bytes with "(", CRC and CR:
    //   94  older firmware: 17 fields
    //   110 21 fields (the default)
    //   112 21 fields, the two power fields with five digits
    //   119 24 fields ("1 02 123" at the end)
    //   120 24 fields ("0 00 0000" at the end)
    //   122 24 fields, five-digit power fields
    static constexpr std::array<int, 6> kMainValuesLengths = {94, 110, 112, 119, 120, 122};
    // The tail of an earlier reply and its CR LF: the bytes SetStaleBytes sends by default.
    static const Bytes kDefaultStaleBytes;

    InverterModel();

    // Main values, fields 1..21 of the "QPIGS" reply.
    void SetMainField(int field, std::string value);
    [[nodiscard]] std::string MainField(int field) const;
    // Line present: 230 V / 50 Hz on the AC input; absent: 0 V / 0 Hz.
    void SetLinePresent(bool present);
    // Device status bits: charging on, charging from solar, charging from the line.
    void SetStatusBits(bool chargeOn, bool solarCharging, bool lineCharging);
    void SetModeLetter(char letter);
    [[nodiscard]] char ModeLetter() const;
    // 0 utility first, 1 solar first, 2 SBU; field 17 of "QPIRI".
    void SetOutputPriority(int code);
    [[nodiscard]] int OutputPriority() const;
    void SetRatedField(int field, std::string value);
    // Field 1.. of "QPIRI" as it is sent; empty for a field the reply does not have.
    [[nodiscard]] std::string RatedFieldText(int field) const;
    // A battery of 12, 24 or 48 V: field 8 of "QPIRI", and the voltage settings scaled to it
    // (46.0 V on a 48 V unit is 23.0 V on a 24 V one). False, and nothing changed, for another
    // voltage.
    bool SetBatteryVoltage(int volts);
    // The charging currents the unit allows, listed in reply to "QMCHGCR" (maximum charging
    // current) and "QMUCHGCR" (maximum utility charging current); by default 10 to 120 A in
    // steps of 10, and 2 A besides for the utility. A unit that has them but does not list
    // them refuses the query (SetRefused) and still holds to them.
    void SetChargingSteps(std::vector<int> amperes);
    void SetUtilityChargingSteps(std::vector<int> amperes);
    // A setting command is answered "(ACK" when the value is one the unit takes
    // (SettingCheck.h) and "(NAK" otherwise; on "(ACK" the rated information shows the new
    // value. Ignoring: "(ACK" as before, and nothing changes (a unit that only says it did).
    void SetIgnoreSettings(bool ignore);
    // The payload of the warning-status reply, one '0' or '1' for each bit (36 zeros by
    // default; older units send 32). Sent as it stands, so a test can send a malformed one.
    void SetWarningBits(std::string bits);
    [[nodiscard]] std::string WarningBits() const;
    // A second PV input: the "QPIGS2" reply's three fields, e.g. "01.0 202.0 00205" (current,
    // voltage, charging power). Empty: a unit with one input, which refuses the query (the
    // default).
    void SetSecondPv(std::string payload);
    void SetSerialNumber(std::string digits);
    [[nodiscard]] std::string SerialNumber() const;
    // A serial number of 13, 14 (the default) or 16 digits, or any other length.
    void SetSerialNumberLength(int digits);
    // The shape of the main-values reply by its length (kMainValuesLengths); false, and the
    // shape unchanged, for a length no unit sends.
    bool SetMainValuesLength(int bytes);
    // Every reply is followed by a LF after its CR.
    void SetLineFeedAfterCr(bool on);
    // These bytes come before every reply, sent while the request comes in (an echo, the rest
    // of an earlier reply); the reply itself follows after the answer delay. Empty: none.
    void SetStaleBytes(Bytes bytes);
    // "(NAK" is the answer to `command` while it is refused.
    void SetRefused(const std::string& command, bool refused);
    void ClearRefusals();
    // Answers `command` with these bytes (for replies captured from real inverters); a LF after
    // the CR and bytes before the reply are still added when the scenario asks for them.
    void SetRawReply(const std::string& command, Bytes reply);
    void ClearRawReplies();

    // Real pace (about 4.17 ms a byte) or everything at once.
    void SetFullSpeed(bool fullSpeed);
    void SetAnswerDelay(std::chrono::milliseconds delay);

    void InjectFault(const FaultSpec& fault);
    void ClearFaults();

    // The reply to one request frame (command, CRC, CR). Also counts what was received.
    ReplySchedule Answer(std::span<const std::uint8_t> request);
    // Pulls the cable now, without waiting for a request: no more answers, and the lines on
    // this model fail their reads and writes from here on.
    void Unplug();
    // Puts the cable back: the device can be opened again and answers. An open line that was
    // lost stays lost, as a descriptor of a device that went away does; a new open gets a new
    // line. (A pty that was closed does not come back: this is for the in-process line.)
    void PlugIn();
    // True once the cable is out (Unplug, or an Unplug fault that has fired).
    [[nodiscard]] bool Unplugged() const;

    void NoteReceivedBytes(size_t count);
    [[nodiscard]] size_t ReceivedByteCount() const;
    [[nodiscard]] std::vector<std::string> ReceivedCommands() const;

    // The main-values reply the scenario gives now, without faults.
    [[nodiscard]] Bytes MainValuesReply() const;

    // A correctly framed reply: "(" + payload + CRC + CR.
    [[nodiscard]] static Bytes FrameReply(std::string_view payload);

private:
    [[nodiscard]] Bytes replyFor(const std::string& command);
    [[nodiscard]] std::string mainPayload() const;
    [[nodiscard]] std::string ratedPayload() const;
    // "ACK" or "NAK" for a setting command, the setting applied unless ignored.
    [[nodiscard]] std::string applySetting(const SettingRequest& request);
    // Field 1.. of the rated information; the fields before it are added when missing.
    void putRatedField(int field, std::string value);
    [[nodiscard]] ReplySchedule schedule(const Bytes& reply, size_t requestLength, const FaultSpec* fault) const;

    // How the main-values reply is laid out.
    struct MainValuesShape {
        int length;
        int fieldCount;          // of fields 1 to 21
        int powerDigits;         // of fields 5 and 6
        const char* extraFields; // fields 22 to 24, or none
    };
    [[nodiscard]] static std::span<const MainValuesShape> shapes();

    mutable std::mutex m_mutex;
    std::vector<std::string> m_mainFields;
    MainValuesShape m_mainShape;
    bool m_lineFeedAfterCr = false;
    Bytes m_staleBytes;
    std::set<std::string> m_refused;
    std::vector<std::string> m_ratedFields;
    std::vector<int> m_chargingSteps;
    std::vector<int> m_utilityChargingSteps;
    bool m_ignoreSettings = false;
    std::string m_serialNumber;
    std::string m_warningBits;
    std::string m_secondPv;
    char m_modeLetter = 'B';
    std::map<std::string, Bytes> m_rawReplies;
    bool m_fullSpeed = false;
    std::chrono::milliseconds m_answerDelay = kDefaultAnswerDelay;
    std::deque<FaultSpec> m_faults;
    bool m_unplugged = false;
    size_t m_receivedBytes = 0;
    std::vector<std::string> m_commands;
};

} // namespace quorvane::sim
