// Product name and version, shown in window titles, the about dialog and the
// console front end.
#pragma once

inline constexpr const char* kProductName = "Kadrimix";
inline constexpr const char* kProductVersion = "1.10";
