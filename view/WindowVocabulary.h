#pragma once
// The names the main window gives its parts and marks, in one place: the
// window, its handlers and the tests ask for the same toolbar buttons,
// popups and images by these. Literals have static storage, so the strings
// cost no allocation.

#include <QString>

// The toolbar's buttons (the keys of frmMain::ToolbarButton and of
// tbrNormal_ButtonClick) and the folder button's drop-down.
namespace ToolbarKey {
inline const QString NormalView = QStringLiteral("tbrNormlKey_NormalView");
inline const QString ThumbnailView = QStringLiteral("tbrNormlKey_ThumbnailView");
inline const QString SavePicture = QStringLiteral("tbrNormlKey_SavePicture");
inline const QString Folder = QStringLiteral("tbrNormlKey_Folder");
inline const QString FolderMenu = QStringLiteral("tbrNormlKey_FolderMenu");
inline const QString Close = QStringLiteral("tbrNormlKey_Close");
}  // namespace ToolbarKey

// The popups of frmMain::Popup: one per tab kind and per node type.
namespace PopupName {
inline const QString ChannelTab = QStringLiteral("mnuPopupForChannelTab");
inline const QString MultimonitorTab = QStringLiteral("mnuPopupForMultimonitorTab");
inline const QString ChannelNode = QStringLiteral("mnuPopupForChannelNode");
inline const QString FavariteChannelNode = QStringLiteral("mnuPopupForFavariteChannelNode");
inline const QString MultiMonitorRoot = QStringLiteral("mnuPopupForMultiMonitorRoot");
inline const QString MultiMonitorChannel = QStringLiteral("mnuPopupForMultiMonitorChannel");
inline const QString MultiMonitorFolder = QStringLiteral("mnuPopupForMultiMonitorFolder");
}  // namespace PopupName

// The numbers of the toolbar's images (ToolbarImage), from 1 to Count. The
// folder button switches between FavoriteFolder and Folder with the selected
// channel's favourite mark.
namespace ToolbarImageNumber {
inline constexpr int Count = 6;
inline constexpr int NormalView = 1;
inline constexpr int ThumbnailView = 2;
inline constexpr int SavePicture = 3;
inline constexpr int FavoriteFolder = 4;
inline constexpr int Close = 5;
inline constexpr int Folder = 6;
}  // namespace ToolbarImageNumber

// What starts each entry of the folder drop-down: whether the selected
// channel is a member of that folder.
namespace FolderMark {
inline const QString Member = QStringLiteral("υ ");
inline const QString NotMember = QStringLiteral("　 ");
}  // namespace FolderMark
