// Control ids of the overlay settings dialog (template 142), shared by the
// files that make up COverlayDlg.
#pragma once

namespace overlay_dlg {

inline constexpr int kPreviewFrame = 1000;
inline constexpr int kInfo = 1009;
// Track bars.
inline constexpr int kXBar = 1011;
inline constexpr int kYBar = 1012;
inline constexpr int kWidthBar = 1013;
inline constexpr int kHeightBar = 1014;
inline constexpr int kOverlayBar = 1015;
inline constexpr int kBaseBar = 1016;
// Buttons and check boxes.
inline constexpr int kOverlayAvi = 1021;
inline constexpr int kClearOverlay = 1022;
inline constexpr int kKeepRatio = 1023;
inline constexpr int kStart = 1024;
inline constexpr int kEnd = 1031;
inline constexpr int kSetBaseStart = 1034;
inline constexpr int kQuickPosition = 1037;
inline constexpr int kBorder = 1038;
inline constexpr int kCrop = 1039;
inline constexpr int kOriginalSize = 1040;
// Read-only value fields.
inline constexpr int kXValue = 1025;
inline constexpr int kYValue = 1026;
inline constexpr int kWidthValue = 1027;
inline constexpr int kHeightValue = 1028;
inline constexpr int kOverlayPosValue = 1029;
inline constexpr int kBasePosValue = 1030;
inline constexpr int kStartValue = 1032;
inline constexpr int kEndValue = 1033;
inline constexpr int kBaseStartValue = 1035;
// The preview's child windows.
inline constexpr int kBaseArea = 5001;
inline constexpr int kOverlayArea = 5002;
inline constexpr int kBaseAreaWidth = 362;
inline constexpr int kBaseAreaHeight = 290;

} // namespace overlay_dlg
