// ChannelList.txt as the window reads it at start-up and writes it at close
// (updater/ChannelListFile).

#include "updater/frmMain.h"

#include "navigation/ChannelTreeModel.h"
#include "updater/ChannelListFile.h"

namespace updater {

QString frmMain::ChannelListPath() const { return mFile->Path(); }

void frmMain::LoadChannelList(const QStringList& lines) {
    mChannelCopies.clear();
    mFile->Load(lines, mChannelCopies);

    // The group for channels without an organisation is found by its key;
    // give it back to the first saved one so restarts do not add another.
    for (int i = 0; i < mTreeModel->RootCount(); ++i) {
        TreeNode* root = mTreeModel->Root(i);
        if (root->Kind() == ::NodeKind::Node && root->Text() == kUnknownOrganizationName) {
            SetKey(root, kUnknownOrganizationKey);
            break;
        }
    }
}

void frmMain::SaveChannelListNode(TreeNode* node, QStringList& lines) const { lines << mFile->Records(node); }

bool frmMain::SaveChannelList(QString* error) { return mFile->Write(error); }

}  // namespace updater
