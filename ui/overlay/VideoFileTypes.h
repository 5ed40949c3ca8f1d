// The files the open dialogs offer and a drop accepts as input or overlay
// videos: AVI and the containers read through libavformat.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

// The filter list as RunFileDialog takes it: video files of every kind
// first, then AVI files, then all files.
std::string VideoOpenFilter();
// The same as Qt name filters.
QStringList VideoOpenNameFilters();
// The suffixes themselves (without the dot, lower case), AVI first.
QStringList VideoFileSuffixes();
// True for a file name suffix (without the dot, any case) of a video file.
bool IsVideoFileSuffix(const QString& suffix);
