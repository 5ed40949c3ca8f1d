// The dialog templates as data: every control of a window with its id, kind,
// place and size in dialog units, and its template caption. One builder turns
// a template into widgets, so the windows keep their described layout.
#pragma once

#include <cstddef>

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    OwnerDrawButton, // a button that paints its own bitmaps
    CheckBox,
    RadioButton, // groupStart begins a new group of exclusive buttons
    GroupBox,
    Label,
    CenteredLabel,
    SunkenLabel,
    Picture, // a bitmap or icon; clickable when notify is set
    ReadOnlyEdit,
    NumberEdit, // a whole number typed within the range its dialog sets
    TrackBar,
    ComboBox, // drop-down list; height is the height of the open list
    ProgressBar,
    Divider,
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    int x, y, width, height; // dialog units
    const char* caption;     // UTF-8; nullptr for none
    bool groupStart = false;
    bool notify = false;
};

struct DialogTemplate {
    int id;
    int width, height; // dialog units
    const char* caption;
    const ControlTemplate* controls;
    std::size_t count;
};

// The templates of the program's windows.
const DialogTemplate& AboutDialogTemplate();    // 100
const DialogTemplate& MainDialogTemplate();     // 102
const DialogTemplate& OverlayDialogTemplate();  // 142
const DialogTemplate& BorderDialogTemplate();   // 144
const DialogTemplate& CropDialogTemplate();     // 145
const DialogTemplate& QuickPosDialogTemplate(); // 146
const DialogTemplate& SetupDialogTemplate();    // 147
