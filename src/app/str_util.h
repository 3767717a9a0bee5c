#pragma once

#include <string>

#include "platform/paths.h"

// Value of at most `digits` hexadecimal digits at the start of text (0 when none).
// digits above 8 or a missing text give 0 and a diagnostic line.
unsigned int iHexStrToVal(const char* text, int digits);

// True when every character is a decimal digit; an empty text counts as all digits.
bool fgIsAllDigits(const char* text);

// What a diagnostic line shows of a password: "***" when one was given, else "".
// Secrets never reach the log.
std::string strMaskSecret(const std::string& secret);

// Local date and time as "YYYY-MM-DD-hh-mm-ss", for file names.
std::string strGetTimeStr();

// Directory of the running executable with exactly one trailing separator, or an
// empty text when the path has no separator or cannot be read.
std::string strGetExeDir();

// The part of strGetExeDir that needs no system call: cut a module path after its
// last separator.
std::string strDirOfPath(const std::string& modulePath);
