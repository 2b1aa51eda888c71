#include "inverter/SecondPv.h"

#include "core/NumberText.h"
#include "inverter/Frame.h"
#include "inverter/MainValuesReply.h"

#include <algorithm>

namespace quorvane {

std::optional<SecondPvReading> DecodeSecondPv(std::string_view payload)
{
    const auto fields = SplitFields(payload);
    if (fields.size() < 3 || !std::all_of(fields.begin(), fields.begin() + 3, IsPlainNumber))
        return std::nullopt;
    return SecondPvReading{*ParseNumber(fields[0]), *ParseNumber(fields[1]), *ParseNumber(fields[2])};
}

} // namespace quorvane
