#include "storage/WatchSettings.h"

#include "common/IniFile.h"
#include "common/mdlFunction.h"

namespace {

const QString kSection = QStringLiteral("Watch");

}  // namespace

WatchSettings ReadWatchSettings(const QString& iniPath) {
    using namespace mdlFunction;
    const WatchSettings defaults;
    WatchSettings s;
    auto getBool = [&](const char* key, bool def) {
        return GetIniFrom(iniPath, kSection, QLatin1String(key), IniBoolean, def).toBool();
    };
    // Out of range is as bad as not a number: the default, not the nearest
    // bound, since a wild value says nothing about what was meant.
    auto getInt = [&](const char* key, int def, int low, int high) {
        const int value = GetIniFrom(iniPath, kSection, QLatin1String(key), IniInteger, def).toInt();
        return value < low || value > high ? def : value;
    };
    s.StatusOverlay = getBool("StatusOverlay", defaults.StatusOverlay);
    s.NotifyOnAir = getBool("NotifyOnAir", defaults.NotifyOnAir);
    s.NotifyFailure = getBool("NotifyFailure", defaults.NotifyFailure);
    s.NotifyFailureMinutes = getInt("NotifyFailureMinutes", defaults.NotifyFailureMinutes,
                                    WatchSettings::kMinFailureMinutes, WatchSettings::kMaxFailureMinutes);
    s.ScaleTiles = getBool("ScaleTiles", defaults.ScaleTiles);
    s.TourSeconds =
        getInt("TourSeconds", defaults.TourSeconds, WatchSettings::kMinTourSeconds, WatchSettings::kMaxTourSeconds);
    s.RestoreTabs = getBool("RestoreTabs", defaults.RestoreTabs);
    return s;
}

void WriteWatchSettings(IniDocument& doc, const WatchSettings& s) {
    auto set = [&doc](const char* key, const QVariant& value) {
        doc.setValue(kSection, QLatin1String(key), mdlFunction::IniValueText(value));
    };
    set("StatusOverlay", s.StatusOverlay);
    set("NotifyOnAir", s.NotifyOnAir);
    set("NotifyFailure", s.NotifyFailure);
    set("NotifyFailureMinutes", s.NotifyFailureMinutes);
    set("ScaleTiles", s.ScaleTiles);
    set("TourSeconds", s.TourSeconds);
    set("RestoreTabs", s.RestoreTabs);
}
