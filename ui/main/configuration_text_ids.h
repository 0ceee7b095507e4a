#pragma once

// The Configuration menu's texts (Main group).
namespace configtext {

enum : int {
    kTxtConfigMenu = 370,
    kTxtConfigSave = 371,
    kTxtConfigOpen = 372,
    kTxtConfigCompare = 373,
    kTxtConfigApply = 374,
    kTxtConfigTitle = 375,
    kTxtConfigShowingFile = 376,
    kTxtConfigNothingToSave = 377,
    kTxtConfigOpenFirst = 378,
    kTxtConfigConnectFirst = 379,
    kTxtConfigParameter = 380,
    kTxtConfigDevice = 381,
    kTxtConfigFile = 382,
    kTxtConfigResult = 383,
    kTxtConfigDiffers = 384,
    kTxtConfigSame = 385,
    kTxtConfigNothingSent = 386,
    kTxtConfigReadBack = 387,
    kTxtConfigNotWritten = 388,
    kTxtConfigReadBackDiffers = 389,
    kTxtConfigNotSent = 390,
    kTxtConfigNotRead = 391,
    kTxtConfigAlreadyHeld = 392,
    kTxtConfigSaved = 393,
    kTxtConfigReadBackFailed = 394,
    kTxtConfigUnknownCode = 395,
    kTxtConfigLimitsInverted = 396,
    kTxtConfigCalibrationKept = 397,
    kTxtConfigCannotUse = 398,
    kTxtConfigNotComplete = 399,
    kTxtConfigFileHeading = 400,
    kTxtConfigDecimalsDiffer = 401,
};

}  // namespace configtext
