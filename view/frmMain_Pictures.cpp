// Show boxes and picture display: the normal view, the thumbnail grid, the
// resize modes and the mouse on pictures.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "common/mdlFunctionWidgets.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"
#include "view/ThumbnailGrid.h"

#include <QAction>

void frmMain::HideAllShowBoxes() {
    mShowArea->SelectedBoxVisible = false;
    for (int i = 1; i < mPictures.Count(); ++i)
        if (PictureElement* e = mPictures.Element(i)) e->Visible = false;
    for (int i = 1; i < mShowArea->LabelCount(); ++i) mShowArea->Label(i).Visible = false;
    mArrangedBoxes.clear();
    mShowArea->ScaledTiles = false;
    mShowArea->update();
}

void frmMain::ShowChannelPicture() {
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind != NodeKind::Channel || !mChannelManeger) return;
    clsChannel* channel = mChannelManeger->Channel(tab.ID);
    if (!channel || !channel->ShowBox()) return;
    PictureElement* box = channel->ShowBox();
    const PictureKind type = channel->PictureType();
    if (type == PictureKind::None || type == PictureKind::Thumbnail) {
        box->Visible = true;
        mShowArea->update();
        return;
    }
    const int mode = mdlFunction::getCheckedIndex(mImageResize);
    if (mode == 0) {
        box->setStretch(true);
        box->Move(box->Left(), box->Top(), mShowArea->width() - 2 * box->Left(), mShowArea->height() - 2 * box->Top());
    } else if (mode == 1) {
        box->setStretch(false);
        // Fit the window to the picture; a maximised or minimised window
        // stays as it is. Each size assignment lays the window out again and
        // comes back here, where the same size is computed and skipped.
        if (windowState() == Qt::WindowNoState && mFitDepth < 2) {
            ++mFitDepth;
            const QRect strip = mGeometry.TabStrip;
            const QRect client = mGeometry.TabClient(tabMetrics());
            const int frameWidth = width() - mClient->width();
            const int frameHeight = height() - mClient->height();
            const int newWidth =
                frameWidth + strip.x() + (strip.width() - client.width()) + box->Width() + 2 * box->Left() + 2 + 1;
            const int newHeight = frameHeight + strip.y() + (strip.height() - client.height()) + box->Height() +
                                  2 * box->Top() + StatusBarHeight() - 1;
            if (QSize(newWidth, height()) != size() && QSize(newWidth, height()) != mLastFitSize) {
                mLastFitSize = QSize(newWidth, height());
                resize(newWidth, height());
            }
            if (QSize(width(), newHeight) != size() && QSize(width(), newHeight) != mLastFitSize) {
                mLastFitSize = QSize(width(), newHeight);
                resize(width(), newHeight);
            }
            --mFitDepth;
        }
    } else if (mode == 2) {
        box->setStretch(false);
    }
    box->Visible = true;
    mShowArea->update();
}

void frmMain::hideStaleThumbnails(const QList<PictureElement*>& shown, int labelsUsed, bool frameShown) {
    // Boxes and labels of the previous grid that are not part of this one
    // are hidden, so a removed or off-air member is never left on screen.
    for (PictureElement* old : mArrangedBoxes)
        if (!shown.contains(old)) old->Visible = false;
    for (int i = labelsUsed + 1; i < mShowArea->LabelCount(); ++i) mShowArea->Label(i).Visible = false;
    if (!frameShown) mShowArea->SelectedBoxVisible = false;
    mArrangedBoxes = shown;
}

void frmMain::ArrangeThumbnailBox() {
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind != NodeKind::MultiMonitor || !mMultiMonitorManeger) return;
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID);
    if (!folder) return;
    const QList<PictureElement*> boxes = folder->ShowBox();
    const int n = int(boxes.size()) - 1;
    const ThumbnailGrid grid = ChooseThumbnailGrid(n, mShowArea->width(), mShowArea->height());
    QList<PictureElement*> shown;
    bool frameShown = false;
    if (grid.Columns > 0) {
        const QString selected = mChannelManeger->SelectedChannelID();
        for (int i = 1; i <= n; ++i) {
            PictureElement* box = boxes[i];
            if (!box) continue;
            const QPoint cell = grid.CellOrigin(i);
            const QSize natural = box->NaturalSize();
            // Tiles that fill their cells take the whole cell; the picture is
            // then fitted into it when painted.
            if (!mWatch.ScaleTiles && box->HasPicture() && natural.width() < grid.CellWidth &&
                natural.height() < grid.CellHeight) {
                box->setStretch(false);
                box->Move(cell.x(), cell.y());
            } else {
                box->setStretch(true);
                box->Move(cell.x(), cell.y(), qMax(1, grid.CellWidth), qMax(1, grid.CellHeight));
            }
            box->Visible = true;
            shown << box;
            while (mShowArea->LabelCount() <= i) mShowArea->LoadLabel();
            NameLabel& label = mShowArea->Label(i);
            label.Rect = QRect(box->Left(), box->Top() + box->Height() + 2, box->Width(), label.Rect.height());
            label.Caption = ChannelCaption(mChannelManeger->Channel(box->Tag));
            label.Visible = true;
            if (EqualsNoCase(box->Tag, selected)) {
                mShowArea->SelectedBoxRect = box->Rect();
                mShowArea->SelectedBoxVisible = true;
                frameShown = true;
            }
        }
    }
    hideStaleThumbnails(shown, grid.Columns > 0 ? n : 0, frameShown);
    mShowArea->ScaledTiles = mWatch.ScaleTiles;
    mShowArea->update();
}

void frmMain::imgChannelShow_MouseDown(int /*Index*/, MouseButtonCode Button) { mShowBoxMouseButton = Button; }

void frmMain::imgChannelShow_Click(int Index) {
    if (mShowBoxMouseButton != MouseButtonCode::Left || !mChannelManeger) return;
    PictureElement* element = mPictures.Element(Index);
    if (!element) return;
    mChannelManeger->setSelectedChannelID(element->Tag);
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind == NodeKind::MultiMonitor)
        if (clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID))
            folder->setSelectedChannelID(mChannelManeger->SelectedChannelID());
}

void frmMain::imgChannelShow_DblClick(int Index) {
    if (mShowBoxMouseButton != MouseButtonCode::Left) return;
    PictureElement* element = mPictures.Element(Index);
    if (element && ParseTag(SelectedTabTag()).Kind == NodeKind::MultiMonitor) OpenChannelTab(element->Tag);
}

void frmMain::mnuImageResize_Click(int Index) {
    for (QAction* item : mImageResize) item->setChecked(false);
    if (Index >= 0 && Index < mImageResize.size()) mImageResize[Index]->setChecked(true);
    // The routine itself looks at the selected tab.
    ShowChannelPicture();
}

void frmMain::mnuShowPictureOnlyOnBroadcast_Click() {
    // The menu has already flipped its check mark.
    if (mChannelManeger) mChannelManeger->setShowPictureOnlyOnBroadCast(mShowPictureOnlyOnBroadcast->isChecked());
}
