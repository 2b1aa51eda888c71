#include "inverter/RatedInfo.h"

#include "core/NumberText.h"
#include "inverter/Frame.h"
#include "inverter/MainValuesReply.h"

#include <algorithm>
#include <charconv>

namespace quorvane {

namespace {

constexpr std::size_t kFieldsEveryUnitSends = 12;

// Digits only ("010", "2"); leading zeros are how units pad their fields.
std::optional<int> wholeNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || text.front() == '-')
        return std::nullopt;
    return value;
}

// A code from 0 to `count` - 1 as the enum it stands for.
template <typename Enum>
std::optional<Enum> codeOf(std::optional<int> code, int count)
{
    if (!code || *code < 0 || *code >= count)
        return std::nullopt;
    return static_cast<Enum>(*code);
}

class Fields {
public:
    explicit Fields(std::string_view payload) : m_fields(SplitFields(payload)) {}

    [[nodiscard]] bool EveryUnitsFieldsAreNumbers() const
    {
        return m_fields.size() >= kFieldsEveryUnitSends
            && std::all_of(m_fields.begin(), m_fields.begin() + kFieldsEveryUnitSends, IsPlainNumber);
    }
    [[nodiscard]] std::optional<double> Number(RatedField field) const
    {
        const std::string_view text = at(field);
        return IsPlainNumber(text) ? ParseNumber(text) : std::nullopt;
    }
    [[nodiscard]] std::optional<int> Whole(RatedField field) const { return wholeNumber(at(field)); }

private:
    // An empty text for a field the unit did not send.
    [[nodiscard]] std::string_view at(RatedField field) const
    {
        const auto index = static_cast<std::size_t>(field) - 1;
        return index < m_fields.size() ? m_fields[index] : std::string_view();
    }

    std::vector<std::string_view> m_fields;
};

} // namespace

std::optional<RatedInfo> DecodeRatedInfo(std::string_view payload)
{
    const Fields fields(payload);
    if (!fields.EveryUnitsFieldsAreNumbers())
        return std::nullopt;
    RatedInfo info;
    info.BatteryRatingV = *fields.Number(RatedField::BatteryRating);
    info.RechargeV = *fields.Number(RatedField::Recharge);
    info.CutOffV = *fields.Number(RatedField::CutOff);
    info.BulkV = *fields.Number(RatedField::Bulk);
    info.FloatV = *fields.Number(RatedField::Float);
    if (const auto type = fields.Whole(RatedField::BatteryType))
        info.Battery = static_cast<BatteryType>(*type);
    info.MaxUtilityChargingA = fields.Whole(RatedField::MaxUtilityCharging);
    info.MaxChargingA = fields.Whole(RatedField::MaxCharging);
    info.OutputSource = codeOf<OutputPriority>(fields.Whole(RatedField::OutputPriority), 3);
    info.ChargerSource = codeOf<ChargerPriority>(fields.Whole(RatedField::ChargerPriority), 4);
    info.RedischargeV = fields.Number(RatedField::Redischarge);
    return info;
}

std::optional<std::vector<int>> DecodeCurrentSteps(std::string_view payload)
{
    std::vector<int> steps;
    for (const std::string_view field : SplitFields(payload)) {
        const auto step = wholeNumber(field);
        if (!step)
            return std::nullopt;
        steps.push_back(*step);
    }
    return steps;
}

} // namespace quorvane
