#pragma once

#include <cstdint>
#include <string>

// Process-wide settings fixed at start-up, before any other thread exists, and read
// everywhere afterwards; nothing changes them later.
class CSettings {
  public:
    // The settings every part of the process reads. vSettingInit fills it once.
    static CSettings& instance();

    std::string m_strProgramDir;           // executable's directory, one trailing separator
    std::string m_strWritableDir;          // where files the station writes go (strGetWritableDir)
    std::string m_strLangFile;             // "lang.lang" found by strFindDataFile
    int m_iUiLang = 1033;                  // 2052 simplified Chinese, else 1033
    bool m_fgReselect = false;             // "SelectDefaultIp.ini" exists in m_strWritableDir
    std::uint32_t m_uiLastSelectAddr = 0;  // at start-up; network byte order; 0 never matches
};

// Fills the settings: program directory (or programDir when not empty, for tests), the
// folder for written files (the program directory unless installed, file_util.h),
// language file path, UI language (KESTREL_UI_LANG, else the locale), the reselection
// flag ("has select dev" when set) and the last selected address read from
// "SelectDefaultIp.ini" in the working directory.
void vSettingInit(CSettings& settings, const std::string& programDir = {});

// UI language from the locale environment: 2052 for zh_CN, zh_SG and zh_Hans, else
// 1033. KESTREL_UI_LANG, when it holds a number, wins.
int iQueryUiLang();

// Reads the first 32 bytes of "SelectDefaultIp.ini" in the working directory into
// buffer (at least 32 bytes). -1 null buffer, -2 no such file, 0 cannot be opened,
// else the bytes read.
int iReadDefaultIpFile(char* buffer);

// The address in the file's text (first 32 bytes, up to the first blank or line
// break), network byte order; 0 when there is none.
std::uint32_t uiParseDefaultIp(const char* text, int length);
