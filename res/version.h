// Version information of the program.
#pragma once

inline constexpr const char* kFileVersion = "1.0.0.1";
inline constexpr const char* kProductVersion = "1.0.0.1";
inline constexpr const char* kFileDescription = "Varnel MFC Application";
inline constexpr const char* kInternalName = "Varnel";
inline constexpr const char* kProductName = "Varnel Application";
