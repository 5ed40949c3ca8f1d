// The text ids of the catalogue (app/TextCatalog.cpp) by name; each name is
// made from the text's English wording. tests/app/TextIdsTest.cpp keeps them
// in step with the catalogue.
#pragma once

#include <cstdint>

namespace txt {

// Tool tips of the main window and the about dialog.
inline constexpr std::int32_t kTipCloseAbout = 1;
inline constexpr std::int32_t kTipSendEmail = 2;
inline constexpr std::int32_t kTipOpenHomePage = 3;
inline constexpr std::int32_t kTipAnotherPicture = 4;
inline constexpr std::int32_t kTipEnd = 5;
inline constexpr std::int32_t kTipStart = 6;
inline constexpr std::int32_t kTipStop = 7;
inline constexpr std::int32_t kTipInputAvi = 8;
inline constexpr std::int32_t kTipOutputAvi = 9;
inline constexpr std::int32_t kTipInfo = 10;
inline constexpr std::int32_t kTipPlay = 11;
inline constexpr std::int32_t kTipSlider = 12;
inline constexpr std::int32_t kTipReverse = 13;
inline constexpr std::int32_t kTipMirrorHorizontal = 14;
inline constexpr std::int32_t kTipUpperHalf = 15;
inline constexpr std::int32_t kTipLowerHalf = 16;
inline constexpr std::int32_t kTipMirrorVertical = 17;
inline constexpr std::int32_t kTipLeftHalf = 18;
inline constexpr std::int32_t kTipRightHalf = 19;
inline constexpr std::int32_t kTipPreview = 20;
inline constexpr std::int32_t kTipInterlace = 21;
inline constexpr std::int32_t kTipOverlayList = 22;
inline constexpr std::int32_t kTipCodec = 23;
inline constexpr std::int32_t kTipProgress = 24;
inline constexpr std::int32_t kTipOnlyAPicture = 25;
inline constexpr std::int32_t kTipLoad = 26;
inline constexpr std::int32_t kTipSave = 27;
inline constexpr std::int32_t kTipSetup = 28;

// Captions of the main window.
inline constexpr std::int32_t kEnd = 29;
inline constexpr std::int32_t kInfo = 30;
inline constexpr std::int32_t kSetup = 31;
inline constexpr std::int32_t kStart = 32;
inline constexpr std::int32_t kStop = 33;
inline constexpr std::int32_t kInputAvi = 34;
inline constexpr std::int32_t kOutputAvi = 35;
inline constexpr std::int32_t kReverse = 36;
inline constexpr std::int32_t kRightHalf = 37;
inline constexpr std::int32_t kLeftHalf = 38;
inline constexpr std::int32_t kUpperHalf = 39;
inline constexpr std::int32_t kLowerHalf = 40;
inline constexpr std::int32_t kSave = 41;
inline constexpr std::int32_t kLoad = 42;
inline constexpr std::int32_t kInterlace = 43;
inline constexpr std::int32_t kMirrorHorizontal = 44;
inline constexpr std::int32_t kMirrorVertical = 45;
inline constexpr std::int32_t kEnablePreview = 46;
inline constexpr std::int32_t kProgress = 47;
inline constexpr std::int32_t kAction = 48;
inline constexpr std::int32_t kOptions = 49;
inline constexpr std::int32_t kProjectFile = 50;

// Compressor, input information, conversion and project texts.
inline constexpr std::int32_t kNoCompression = 51;
inline constexpr std::int32_t kSelectCodec = 52;
inline constexpr std::int32_t kNoAviSelected = 53;
inline constexpr std::int32_t kErrorOpenAvi = 54;
inline constexpr std::int32_t kErrorNoVideoStream = 55;
inline constexpr std::int32_t kErrorStreamInfo = 56;
inline constexpr std::int32_t kErrorUnknownCodecStart = 57;
inline constexpr std::int32_t kErrorUnknownCodecFrame = 58;
inline constexpr std::int32_t kErrorUnknownCodec = 59;
inline constexpr std::int32_t kFormat = 60;
inline constexpr std::int32_t kFrames = 61;
inline constexpr std::int32_t kSec = 62;
inline constexpr std::int32_t kDuration = 63;
inline constexpr std::int32_t kErrorFormatNotSupported = 64;
inline constexpr std::int32_t kErrorLastFrame = 65;
inline constexpr std::int32_t kFrame = 66;
inline constexpr std::int32_t kTime = 67;
inline constexpr std::int32_t kConvertingFinished = 68;
inline constexpr std::int32_t kConvertingAborted = 69;
inline constexpr std::int32_t kLoadProject = 70;
inline constexpr std::int32_t kSaveProject = 71;
inline constexpr std::int32_t kErrorProjectOpenForReading = 72;
inline constexpr std::int32_t kErrorProjectRead = 73;
inline constexpr std::int32_t kErrorProjectCorrupt = 74;
inline constexpr std::int32_t kErrorProjectVersion = 75;
inline constexpr std::int32_t kErrorProjectOpenForWriting = 76;
inline constexpr std::int32_t kErrorProjectWrite = 77;
inline constexpr std::int32_t kSaveCurrentProject = 78;
inline constexpr std::int32_t kUnknown = 79;
inline constexpr std::int32_t kSelectInputAvi = 80;
inline constexpr std::int32_t kSelectOutputAvi = 81;

// Tool tips of the overlay dialog.
inline constexpr std::int32_t kTipOverlayOk = 82;
inline constexpr std::int32_t kTipOverlayX = 83;
inline constexpr std::int32_t kTipOverlayY = 84;
inline constexpr std::int32_t kTipOverlayWidth = 85;
inline constexpr std::int32_t kTipOverlayHeight = 86;
inline constexpr std::int32_t kTipOverlayPosition = 87;
inline constexpr std::int32_t kTipBasePosition = 88;
inline constexpr std::int32_t kTipOverlayAvi = 89;
inline constexpr std::int32_t kTipClearOverlay = 90;
inline constexpr std::int32_t kTipKeepRatio = 91;
inline constexpr std::int32_t kTipOriginalSize = 92;
inline constexpr std::int32_t kTipXValue = 93;
inline constexpr std::int32_t kTipYValue = 94;
inline constexpr std::int32_t kTipWidthValue = 95;
inline constexpr std::int32_t kTipHeightValue = 96;
inline constexpr std::int32_t kTipOverlayFrame = 97;
inline constexpr std::int32_t kTipBaseFrame = 98;
inline constexpr std::int32_t kTipSetOverlayStart = 99;
inline constexpr std::int32_t kTipSetOverlayEnd = 100;
inline constexpr std::int32_t kTipOverlayStartValue = 101;
inline constexpr std::int32_t kTipOverlayEndValue = 102;
inline constexpr std::int32_t kTipSetBaseStart = 103;
inline constexpr std::int32_t kTipBaseStartValue = 104;
inline constexpr std::int32_t kTipBorder = 105;
inline constexpr std::int32_t kTipCrop = 106;
inline constexpr std::int32_t kTipQuickPosition = 107;

// Captions and messages of the overlay dialog.
inline constexpr std::int32_t kOverlayPositionAndSize = 108;
inline constexpr std::int32_t kOverlayStartAndEnd = 109;
inline constexpr std::int32_t kMiscellaneous = 110;
inline constexpr std::int32_t kOverlayStartInBase = 111;
inline constexpr std::int32_t kSetStart = 112;
inline constexpr std::int32_t kQuickPosition = 113;
inline constexpr std::int32_t kOverlayStart = 114;
inline constexpr std::int32_t kOverlayEnd = 115;
inline constexpr std::int32_t kBorder = 116;
inline constexpr std::int32_t kCrop = 117;
inline constexpr std::int32_t kOverlayAvi = 118;
inline constexpr std::int32_t kClearOverlay = 119;
inline constexpr std::int32_t kPositionX = 120;
inline constexpr std::int32_t kPositionY = 121;
inline constexpr std::int32_t kSizeX = 122;
inline constexpr std::int32_t kSizeY = 123;
inline constexpr std::int32_t kKeepRatio = 124;
inline constexpr std::int32_t kOriginalSize = 125;
inline constexpr std::int32_t kBasePosition = 126;
inline constexpr std::int32_t kSetBaseStart = 127;
inline constexpr std::int32_t kErrorStartAfterEnd = 128;
inline constexpr std::int32_t kErrorEndBeforeStart = 129;
inline constexpr std::int32_t kSelectOverlayAvi = 130;

// The border, crop and quick positioning dialogs.
inline constexpr std::int32_t kTipBorderOk = 131;
inline constexpr std::int32_t kTipRed = 132;
inline constexpr std::int32_t kTipRedValue = 133;
inline constexpr std::int32_t kTipGreen = 134;
inline constexpr std::int32_t kTipGreenValue = 135;
inline constexpr std::int32_t kTipBlue = 136;
inline constexpr std::int32_t kTipBlueValue = 137;
inline constexpr std::int32_t kTipBorderSize = 138;
inline constexpr std::int32_t kTipBorderSizeValue = 139;
inline constexpr std::int32_t kFrameProperties = 140;
inline constexpr std::int32_t kFrameSize = 141;
inline constexpr std::int32_t kFrameColor = 142;
inline constexpr std::int32_t kTipCropOk = 143;
inline constexpr std::int32_t kTipCropSize = 144;
inline constexpr std::int32_t kTipCropValue = 145;
inline constexpr std::int32_t kCropFrame = 146;
inline constexpr std::int32_t kCropFrameGroup = 147;
inline constexpr std::int32_t kSelectPredefinedPosition = 148;

// The compressor chooser (added texts).
inline constexpr std::int32_t kCompressorLabel = 1001;
inline constexpr std::int32_t kCompressionQuality = 1002;
inline constexpr std::int32_t kKeyFrameEvery = 1003;
inline constexpr std::int32_t kFramesUnit = 1004;
inline constexpr std::int32_t kDataRate = 1005;
inline constexpr std::int32_t kCancel = 1006;
inline constexpr std::int32_t kCompressorsContainerHolds = 1007;
// The input information of a video of variable frame rate.
inline constexpr std::int32_t kVariableFrameRate = 1008;
// The input information's scan type line.
inline constexpr std::int32_t kScan = 1009;
inline constexpr std::int32_t kScanProgressive = 1010;
inline constexpr std::int32_t kScanTopFieldFirst = 1011;
inline constexpr std::int32_t kScanBottomFieldFirst = 1012;
inline constexpr std::int32_t kScanUnknown = 1013;

} // namespace txt
