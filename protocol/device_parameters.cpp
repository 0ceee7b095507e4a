#include "protocol/device_parameters.h"

#include "protocol/register_table.h"

namespace protocol {

std::uint16_t* CodeField(DeviceParameters& params, int index) {
    switch (index) {
        case kSignalSourceIndex:
            return &params.signalSource;
        case kUnitIndex:
            return &params.unit;
        case kBaudCodeIndex:
            return &params.baudCode;
        case kDecimalsIndex:
            return &params.decimals;
        case kGainIndex:
            return &params.gain;
        default:
            return nullptr;
    }
}

std::wstring* TextField(DeviceParameters& params, int index) {
    switch (index) {
        case kZeroOffsetIndex:
            return &params.zeroOffset;
        case kLowerLimitIndex:
            return &params.lowerLimit;
        case kUpperLimitIndex:
            return &params.upperLimit;
        case kTempCompIndex:
            return &params.tempComp;
        case kZeroSampleIndex:
            return &params.zeroSample;
        case kFullSampleIndex:
            return &params.fullSample;
        case kZeroOutputIndex:
            return &params.zeroOutput;
        case kFullOutputIndex:
            return &params.fullOutput;
        default:
            return nullptr;
    }
}

const std::wstring* TextField(const DeviceParameters& params, int index) {
    return TextField(const_cast<DeviceParameters&>(params), index);
}

void StoreRegisterValue(DeviceParameters& params, int index, std::uint16_t word) {
    if (std::uint16_t* code = CodeField(params, index)) *code = word;
    if (std::wstring* text = TextField(params, index))
        *text = WindowText(index, word, params.decimals);
}

}  // namespace protocol
