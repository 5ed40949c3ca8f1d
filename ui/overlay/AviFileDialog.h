// The open dialog for an AVI file, behind a hook so that tests answer it
// without a window.
#pragma once

#include <functional>
#include <string>

class QWidget;

// Answers in place of the dialog: true with the chosen full path in *chosen
// for OK, false for Cancel. title and initialName are UTF-8.
using AviFileDialogHook = std::function<bool(const std::string& title,
                                             const std::string& initialName, std::string* chosen)>;

// Installs a hook; an empty hook returns to the real dialog.
void SetAviFileDialogHook(AviFileDialogHook hook);

// An open dialog for existing video files (AVI and the containers read
// through libavformat first, then AVI files, then all files; default
// extension "avi") with the given title, *path as the initial name. On OK
// the chosen path replaces *path and the result is true; on Cancel *path
// stays as it was.
bool SelectAviFile(QWidget* parent, const std::string& title, std::string* path);
