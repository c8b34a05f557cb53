#pragma once
// What the wall's views (full screen, the tour, folder windows, the last
// session) need of the main window: its managers, its client and show
// areas, its tabs and the folders' nodes. The window implements it; the
// wall sees nothing else of the window.

#include <QString>

class QMainWindow;
class QWidget;
class ShowAreaWidget;
class TreeNode;
class clsChannelManeger;
class clsMultiMonitorManeger;
struct WatchSettings;

class WallHost {
public:
    virtual QMainWindow& HostWindow() = 0;
    virtual clsChannelManeger* ChannelManeger() const = 0;
    virtual clsMultiMonitorManeger* MultiMonitorManeger() const = 0;
    virtual WatchSettings& Watch() = 0;
    virtual QWidget* ClientArea() const = 0;
    virtual ShowAreaWidget* cntShowBox() const = 0;
    // The folders' nodes, in the order the tree shows them.
    virtual TreeNode* MultiMonitorRoot() const = 0;
    virtual void Form_Resize() = 0;

    // Tabs, 1-based as the window counts them.
    virtual int TabCount() const = 0;
    virtual QString TabTag(int TabIndex) const = 0;
    virtual QString SelectedTabTag() const = 0;
    virtual int SelectedTabIndex() const = 0;
    virtual int getTabIndexFromTag(const QString& Tag) const = 0;
    virtual void OpenChannelTab(const QString& ChannelID) = 0;
    virtual void OpenMultiMonitorTab(const QString& MultiMonitorID) = 0;
    virtual void mMultiMonitorManeger_ThumbnailBoxRefresh(const QString& MultiMonitorID) = 0;

protected:
    ~WallHost() = default;
};
