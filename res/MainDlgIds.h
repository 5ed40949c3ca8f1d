// Control ids of the main window (template 102), shared by the files that
// make up CMainDlg and by the window's template.
#pragma once

namespace main_dlg {

// Buttons.
inline constexpr int kEnd = 1;
inline constexpr int kStart = 3;
inline constexpr int kStop = 4;
inline constexpr int kInputAvi = 5;
inline constexpr int kOutputAvi = 6;
inline constexpr int kInfo = 7;
inline constexpr int kLoad = 8;
inline constexpr int kSave = 9;
inline constexpr int kSetup = 10;
inline constexpr int kCodec = 1014;
inline constexpr int kPlay = 1013;
// Check boxes.
inline constexpr int kReverse = 1003;
inline constexpr int kMirrorHorizontal = 1004;
inline constexpr int kMirrorVertical = 1005;
inline constexpr int kPreview = 1006;
inline constexpr int kInterlace = 1012;
inline constexpr int kUpperHalf = 1020;
inline constexpr int kLeftHalf = 1021;
inline constexpr int kLowerHalf = 1023;
inline constexpr int kRightHalf = 1024;
// Group boxes.
inline constexpr int kPreviewFrame = 1000;
inline constexpr int kProgressGroup = 1010;
inline constexpr int kActionGroup = 1050;
inline constexpr int kOptionsGroup = 1051;
inline constexpr int kProjectGroup = 1052;
inline constexpr int kFileInfoGroup = 1053;
inline constexpr int kAviFileGroup = 1054;
// Other controls.
inline constexpr int kProgress = 1002;
inline constexpr int kInputName = 1007;
inline constexpr int kOutputName = 1008;
inline constexpr int kFileInfo = 1009;
inline constexpr int kSlider = 1011;
inline constexpr int kCompressorName = 1015;
inline constexpr int kStatus = 1017;
inline constexpr int kPosition = 1018;
inline constexpr int kPicture = 1019;
inline constexpr int kOverlayList = 1022;
inline constexpr int kUpperDivider = 1043;
inline constexpr int kLowerDivider = 1042;
// The preview window inside the frame.
inline constexpr int kPreviewWindow = 5001;

} // namespace main_dlg
