// The layouts of the program's windows, in dialog units. Captions are the
// templates' own; the windows replace most of them with catalogue texts in
// the user's language when they open.
#include "res/DialogTemplate.h"
#include "res/MainDlgIds.h"

#include <iterator>

namespace {

using K = ControlKind;

const ControlTemplate kAbout[] = {
    {1019, K::Picture, 7, 7, 21, 20, nullptr, false, true},
    {1016, K::CenteredLabel, 58, 10, 119, 11, nullptr},
    {-1, K::CenteredLabel, 58, 23, 119, 11, "© Quelmark"},
    {1030, K::CenteredLabel, 49, 36, 137, 11, nullptr},
    {1028, K::PushButton, 61, 53, 112, 14, "&e-mail: kadrimix@quelmark.org"},
    {1029, K::PushButton, 79, 73, 76, 14, "Kadrimix &Homepage"},
    {-1, K::CenteredLabel, 61, 94, 113, 20,
     "Deutsch, English, Nederlands\nby the Kadrimix translators"},
    {1, K::DefaultPushButton, 103, 119, 28, 14, "OK"},
};

const ControlTemplate kMain[] = {
    // Group boxes first, so they lie behind the controls they frame.
    {main_dlg::kProgressGroup, K::GroupBox, 81, 0, 300, 54, "Fortschritt"},
    {main_dlg::kPreviewFrame, K::GroupBox, 21, 62, 256, 191, nullptr},
    {main_dlg::kActionGroup, K::GroupBox, 289, 62, 153, 64, "Aktion"},
    {main_dlg::kOptionsGroup, K::GroupBox, 289, 130, 153, 66, "Optionen"},
    {main_dlg::kProjectGroup, K::GroupBox, 290, 201, 64, 52, "Projekt Datei"},
    {main_dlg::kAviFileGroup, K::GroupBox, 22, 277, 255, 56, "AVI File"},
    {main_dlg::kFileInfoGroup, K::GroupBox, 289, 277, 153, 56, "File Info"},
    {main_dlg::kStart, K::PushButton, 21, 5, 50, 21, "Star&t"},
    {main_dlg::kStop, K::PushButton, 21, 30, 50, 21, "Sto&pp"},
    {main_dlg::kProgress, K::ProgressBar, 91, 14, 280, 13, nullptr},
    {main_dlg::kStatus, K::CenteredLabel, 91, 32, 280, 17, nullptr},
    {main_dlg::kEnd, K::PushButton, 388, 5, 54, 15, "E&NDE"},
    {main_dlg::kInfo, K::PushButton, 388, 23, 54, 15, "In&fo"},
    {main_dlg::kSetup, K::PushButton, 388, 41, 54, 15, "&Einstellungen"},
    {main_dlg::kUpperDivider, K::Divider, 0, 56, 462, 8, nullptr},
    {main_dlg::kPlay, K::OwnerDrawButton, 24, 254, 20, 16, nullptr},
    {main_dlg::kSlider, K::TrackBar, 44, 254, 228, 16, nullptr},
    {main_dlg::kReverse, K::CheckBox, 297, 71, 65, 13, "Rückwarts"},
    {main_dlg::kMirrorHorizontal, K::CheckBox, 297, 83, 86, 13, "Horizontal spiegeln"},
    {main_dlg::kMirrorVertical, K::CheckBox, 297, 95, 86, 13, "Vertikal spiegeln"},
    {main_dlg::kUpperHalf, K::CheckBox, 386, 83, 23, 13, "O"},
    {main_dlg::kLowerHalf, K::CheckBox, 412, 83, 23, 13, "U"},
    {main_dlg::kLeftHalf, K::CheckBox, 386, 95, 21, 13, "L"},
    {main_dlg::kRightHalf, K::CheckBox, 412, 95, 21, 13, "R"},
    {-1, K::Label, 297, 110, 34, 8, "Overla&y:"},
    {main_dlg::kOverlayList, K::ComboBox, 331, 108, 104, 102, nullptr},
    {main_dlg::kCodec, K::PushButton, 297, 142, 29, 13, "&Codec"},
    {main_dlg::kCompressorName, K::SunkenLabel, 297, 157, 141, 22, nullptr},
    {main_dlg::kPreview, K::CheckBox, 332, 142, 106, 13, "Vorschau aktivieren"},
    {main_dlg::kInterlace, K::CheckBox, 297, 182, 61, 11, "Interlace"},
    {main_dlg::kLoad, K::PushButton, 301, 213, 42, 15, "&Laden"},
    {main_dlg::kSave, K::PushButton, 301, 233, 42, 15, "&Speichern"},
    {main_dlg::kPicture, K::Picture, 367, 201, 76, 52, nullptr, false, true},
    {main_dlg::kPosition, K::Label, 289, 256, 152, 14, nullptr},
    {main_dlg::kLowerDivider, K::Divider, 0, 271, 462, 8, nullptr},
    {main_dlg::kInputAvi, K::PushButton, 28, 288, 51, 18, "Ein&gabe AVI"},
    {main_dlg::kInputName, K::Label, 82, 291, 191, 12, nullptr},
    {main_dlg::kOutputAvi, K::PushButton, 28, 310, 51, 18, "&Ausgabe AVI"},
    {main_dlg::kOutputName, K::Label, 82, 313, 191, 12, nullptr},
    {main_dlg::kFileInfo, K::Label, 295, 287, 142, 42, nullptr},
};

const ControlTemplate kOverlay[] = {
    {1000, K::GroupBox, 19, 7, 256, 191, nullptr},
    {1064, K::GroupBox, 283, 7, 223, 107, "Overlay position and size"},
    {1059, K::GroupBox, 283, 117, 223, 51, "Overlay start and end"},
    {1062, K::GroupBox, 19, 200, 256, 40, "Start of the overlay within the base AVI"},
    {1063, K::GroupBox, 283, 169, 71, 71, "Miscellaneous"},
    {-1, K::GroupBox, 357, 169, 149, 54, "Overlay Info"},
    {1055, K::Label, 290, 23, 38, 8, "Position X"},
    {1011, K::TrackBar, 331, 19, 127, 16, nullptr},
    {1025, K::NumberEdit, 463, 21, 32, 12, nullptr},
    {1056, K::Label, 290, 43, 38, 8, "Position Y"},
    {1012, K::TrackBar, 331, 39, 127, 16, nullptr},
    {1026, K::NumberEdit, 463, 41, 32, 12, nullptr},
    {1057, K::Label, 290, 63, 38, 8, "Size X"},
    {1013, K::TrackBar, 331, 59, 127, 16, nullptr},
    {1027, K::NumberEdit, 463, 61, 32, 12, nullptr},
    {1058, K::Label, 290, 83, 38, 8, "Size Y"},
    {1014, K::TrackBar, 331, 79, 127, 16, nullptr},
    {1028, K::NumberEdit, 463, 81, 32, 12, nullptr},
    {1023, K::CheckBox, 290, 100, 108, 10, "Keep ratio"},
    {1037, K::PushButton, 463, 97, 34, 14, "Position"},
    {1060, K::Label, 290, 130, 33, 8, "Position"},
    {1015, K::TrackBar, 331, 126, 127, 16, nullptr},
    {1029, K::NumberEdit, 463, 128, 32, 12, nullptr},
    {1061, K::Label, 290, 150, 41, 8, "Set"},
    {1024, K::PushButton, 333, 147, 35, 14, "Start"},
    {1032, K::NumberEdit, 376, 148, 32, 12, nullptr},
    {1031, K::PushButton, 423, 147, 35, 14, "End"},
    {1033, K::NumberEdit, 463, 148, 32, 12, nullptr},
    {1016, K::TrackBar, 31, 212, 124, 16, nullptr},
    {1030, K::NumberEdit, 159, 214, 32, 12, nullptr},
    {1034, K::PushButton, 194, 213, 39, 14, "Set Start"},
    {1035, K::NumberEdit, 236, 214, 32, 12, nullptr},
    {1040, K::CheckBox, 287, 181, 66, 10, "Original size"},
    {1038, K::PushButton, 291, 198, 52, 14, "Border"},
    {1039, K::PushButton, 291, 218, 52, 14, "Crop"},
    {1009, K::Label, 364, 180, 136, 42, nullptr},
    {1021, K::PushButton, 357, 226, 46, 14, "Overlay AVI"},
    {1022, K::PushButton, 406, 226, 69, 14, "Clear overlay"},
    {1, K::DefaultPushButton, 478, 226, 28, 14, "OK"},
};

const ControlTemplate kBorder[] = {
    {1065, K::GroupBox, 13, 14, 211, 80, "Frame color"},
    {1000, K::GroupBox, 181, 21, 35, 66, nullptr},
    {1066, K::GroupBox, 13, 100, 169, 39, "Frame size"},
    {1037, K::TrackBar, 21, 25, 100, 18, nullptr},
    {1041, K::ReadOnlyEdit, 127, 28, 40, 12, nullptr},
    {1038, K::TrackBar, 21, 46, 100, 18, nullptr},
    {1042, K::ReadOnlyEdit, 127, 49, 40, 12, nullptr},
    {1039, K::TrackBar, 21, 68, 100, 18, nullptr},
    {1043, K::ReadOnlyEdit, 127, 70, 40, 12, nullptr},
    {1040, K::TrackBar, 21, 115, 100, 18, nullptr},
    {1044, K::ReadOnlyEdit, 127, 118, 40, 12, nullptr},
    {1, K::DefaultPushButton, 191, 115, 34, 14, "OK"},
};

const ControlTemplate kCrop[] = {
    {1067, K::GroupBox, 14, 17, 159, 38, "Crop frame"},
    {1044, K::TrackBar, 17, 28, 100, 18, nullptr},
    {1045, K::ReadOnlyEdit, 123, 31, 40, 12, nullptr},
    {1, K::DefaultPushButton, 75, 60, 35, 14, "OK"},
};

const ControlTemplate kQuickPos[] = {
    {-1, K::GroupBox, 30, 15, 67, 46, nullptr},
    {-1, K::GroupBox, 16, 67, 95, 70, nullptr},
    {-1, K::GroupBox, 127, 30, 122, 90, nullptr},
    {-1, K::GroupBox, 265, 17, 58, 53, nullptr},
    {-1, K::GroupBox, 266, 79, 58, 53, nullptr},
    // Quarters and centre.
    {1046, K::PushButton, 37, 24, 23, 14, nullptr},
    {1047, K::PushButton, 68, 24, 23, 14, nullptr},
    {1048, K::PushButton, 37, 42, 23, 14, nullptr},
    {1049, K::PushButton, 68, 42, 23, 14, nullptr},
    {1050, K::PushButton, 52, 33, 23, 14, nullptr},
    // 3 x 3.
    {1051, K::PushButton, 24, 76, 23, 14, nullptr},
    {1052, K::PushButton, 53, 76, 23, 14, nullptr},
    {1053, K::PushButton, 82, 76, 23, 14, nullptr},
    {1055, K::PushButton, 24, 96, 23, 14, nullptr},
    {1056, K::PushButton, 53, 96, 23, 14, nullptr},
    {1057, K::PushButton, 82, 96, 23, 14, nullptr},
    {1058, K::PushButton, 24, 116, 23, 14, nullptr},
    {1059, K::PushButton, 53, 116, 23, 14, nullptr},
    {1060, K::PushButton, 82, 116, 23, 14, nullptr},
    // 4 x 4.
    {1061, K::PushButton, 133, 41, 23, 14, nullptr},
    {1062, K::PushButton, 162, 41, 23, 14, nullptr},
    {1063, K::PushButton, 191, 41, 23, 14, nullptr},
    {1064, K::PushButton, 220, 41, 23, 14, nullptr},
    {1065, K::PushButton, 133, 60, 23, 14, nullptr},
    {1066, K::PushButton, 162, 60, 23, 14, nullptr},
    {1067, K::PushButton, 191, 60, 23, 14, nullptr},
    {1068, K::PushButton, 220, 60, 23, 14, nullptr},
    {1069, K::PushButton, 133, 79, 23, 14, nullptr},
    {1070, K::PushButton, 162, 79, 23, 14, nullptr},
    {1071, K::PushButton, 191, 79, 23, 14, nullptr},
    {1072, K::PushButton, 220, 79, 23, 14, nullptr},
    {1073, K::PushButton, 133, 98, 23, 14, nullptr},
    {1074, K::PushButton, 162, 98, 23, 14, nullptr},
    {1075, K::PushButton, 191, 98, 23, 14, nullptr},
    {1076, K::PushButton, 220, 98, 23, 14, nullptr},
    // Halves.
    {1077, K::PushButton, 269, 25, 49, 19, nullptr},
    {1079, K::PushButton, 269, 47, 49, 19, nullptr},
    {1080, K::PushButton, 270, 87, 22, 39, nullptr},
    {1081, K::PushButton, 297, 87, 22, 39, nullptr},
};

const ControlTemplate kSetup[] = {
    {-1, K::GroupBox, 17, 17, 120, 76, nullptr},
    {-1, K::GroupBox, 157, 18, 78, 34, nullptr},
    {1047, K::RadioButton, 63, 32, 57, 13, "&Deutsch", true},
    {1048, K::RadioButton, 63, 51, 57, 13, "&English"},
    {1051, K::RadioButton, 63, 70, 57, 13, "&Nederlands"},
    {1068, K::Picture, 29, 32, 24, 11, nullptr, false, true},
    {1069, K::Picture, 29, 51, 24, 11, nullptr, false, true},
    {1070, K::Picture, 29, 71, 24, 11, nullptr, false, true},
    {1071, K::CheckBox, 167, 31, 45, 10, "&Tool Tips"},
    {1, K::DefaultPushButton, 245, 7, 50, 14, "OK"},
    {2, K::PushButton, 245, 24, 50, 14, "&Cancel"},
};

template <std::size_t N>
constexpr DialogTemplate Make(int id, int width, int height, const char* caption,
                              const ControlTemplate (&c)[N]) {
    return DialogTemplate{id, width, height, caption, c, N};
}

} // namespace

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate t = Make(100, 235, 140, "Kadrimix Info", kAbout);
    return t;
}
const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate t = Make(102, 462, 346, "Kadrimix", kMain);
    return t;
}
const DialogTemplate& OverlayDialogTemplate() {
    static const DialogTemplate t = Make(142, 520, 247, "Overlay", kOverlay);
    return t;
}
const DialogTemplate& BorderDialogTemplate() {
    static const DialogTemplate t = Make(144, 240, 157, "Border", kBorder);
    return t;
}
const DialogTemplate& CropDialogTemplate() {
    static const DialogTemplate t = Make(145, 186, 89, "Crop", kCrop);
    return t;
}
const DialogTemplate& QuickPosDialogTemplate() {
    static const DialogTemplate t = Make(146, 343, 151, "Position", kQuickPos);
    return t;
}
const DialogTemplate& SetupDialogTemplate() {
    static const DialogTemplate t = Make(147, 302, 110, "Kadrimix Setup", kSetup);
    return t;
}
