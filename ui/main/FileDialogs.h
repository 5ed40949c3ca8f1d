// The standard open and save dialogs of the main window, behind a hook so
// that tests answer them without a window.
#pragma once

#include <QString>

#include <functional>
#include <string>

struct FileDialogRequest {
    std::string title;
    std::string initialName;      // full path or file name shown at the start (UTF-8)
    std::string defaultExtension; // without the dot, e.g. "avi"
    std::string filter;           // pairs "description|pattern|", ended by "|"
    bool forSaving = false;       // save dialog (overwrite prompt) instead of open dialog
};

// Answers a request in place of a real dialog: true with the chosen full
// path in *chosen for OK, false for Cancel.
using FileDialogHook = std::function<bool(const FileDialogRequest& request, std::string* chosen)>;

// Installs a hook; an empty hook returns to the real dialogs.
void SetFileDialogHook(FileDialogHook hook);

// Runs the dialog (or the hook). On OK the chosen full path replaces *name
// and the result is true; otherwise *name stays unchanged.
bool RunFileDialog(const FileDialogRequest& request, std::string* name);

// "Video files (*.avi)|*.avi||" as a Qt name filter list
// ("Video files (*.avi)"); a description that does not end in its own
// pattern gets it appended in brackets, one that does gets a space before
// the bracket ("Kadrimix(*.kmx)" gives "Kadrimix (*.kmx)").
QString QtNameFilters(const std::string& filter);
