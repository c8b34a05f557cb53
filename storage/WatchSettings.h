#pragma once
// The viewer's own settings beyond the specified ones, in the INI section
// "Watch" beside "MainWindow" and "General" (whose keys stay as they are).
// A missing or bad value reads as its default and is written back
// well-formed.

#include <QString>

class IniDocument;

struct WatchSettings {
    bool StatusOverlay = true;     // a channel's condition drawn on its boxes
    bool NotifyOnAir = false;      // a favourite going on air is announced
    bool NotifyFailure = false;    // a shown channel failing for long is announced
    int NotifyFailureMinutes = 2;  // 1 to 1440
    bool ScaleTiles = false;       // a folder's pictures fill their cells
    int TourSeconds = 10;          // 2 to 3600
    bool RestoreTabs = false;      // the tabs of the last run come back

    static constexpr int kMinFailureMinutes = 1;
    static constexpr int kMaxFailureMinutes = 1440;
    static constexpr int kMinTourSeconds = 2;
    static constexpr int kMaxTourSeconds = 3600;
};

WatchSettings ReadWatchSettings(const QString& iniPath);
void WriteWatchSettings(IniDocument& doc, const WatchSettings& settings);
