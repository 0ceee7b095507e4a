#include "protocol/device_parameters.h"

#include "protocol/conversions.h"

namespace protocol {

void StoreRegisterValue(DeviceParameters& params, int index, std::uint16_t word) {
    switch (index) {
        case kSignalSourceIndex:
            params.signalSource = word;
            break;
        case kUnitIndex:
            params.unit = word;
            break;
        case kReservedIndex:
            break;
        case kBaudCodeIndex:
            params.baudCode = word;
            break;
        case kDecimalsIndex:
            params.decimals = word;
            break;
        case kZeroOffsetIndex:
            params.zeroOffset = FormatScaled(word, params.decimals);
            break;
        case kLowerLimitIndex:
            params.lowerLimit = FormatSigned(word);
            break;
        case kUpperLimitIndex:
            params.upperLimit = FormatSigned(word);
            break;
        case kGainIndex:
            params.gain = word;
            break;
        case kTempCompIndex:
            params.tempComp = FormatScaled(word, params.decimals);
            break;
        case kZeroSampleIndex:
            params.zeroSample = FormatUnsigned(word);
            break;
        case kFullSampleIndex:
            params.fullSample = FormatUnsigned(word);
            break;
        case kZeroOutputIndex:
            params.zeroOutput = FormatUnsigned(word);
            break;
        case kFullOutputIndex:
            params.fullOutput = FormatUnsigned(word);
            break;
        default:
            break;
    }
}

std::uint16_t WriteValueOf(const DeviceParameters& params, OperationCode code) {
    switch (code) {
        case OperationCode::WriteSignalSource:
            return params.signalSource;
        case OperationCode::WriteGain:
            return params.gain;
        case OperationCode::WriteZeroOffset:
            return ScaledTextToWord(params.zeroOffset, params.decimals);
        case OperationCode::WriteTempComp:
            return ScaledTextToWord(params.tempComp, params.decimals);
        case OperationCode::WriteLowerLimit:
            return IntegerTextToWord(params.lowerLimit);
        case OperationCode::WriteUpperLimit:
            return IntegerTextToWord(params.upperLimit);
        case OperationCode::WriteZeroSample:
            return IntegerTextToWord(params.zeroSample);
        case OperationCode::WriteFullSample:
            return IntegerTextToWord(params.fullSample);
        case OperationCode::WriteZeroOutput:
            return IntegerTextToWord(params.zeroOutput);
        case OperationCode::WriteFullOutput:
            return IntegerTextToWord(params.fullOutput);
        case OperationCode::ConnectRequest:
        case OperationCode::LinkStart:
        case OperationCode::LinkEnd:
            break;
    }
    return 0;
}

}  // namespace protocol
