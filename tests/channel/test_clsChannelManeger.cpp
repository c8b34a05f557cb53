#include "ChannelRig.h"
#include "Rows.h"

#include <QRegularExpression>

namespace {

QStringList record(const QString& id, const QString& save, int pieces = 6) {
    return QStringList{"Channel", "VTR1", id, "名前", "http://127.0.0.1:9/info.txt", save, "extra"}.mid(0, pieces);
}

// A record beside a channel "ch01" made before it, through a proxy switched
// off since; each channel gets its own element with the settings of its day,
// also when it is made after the switch (at its first request).
struct RecordRow {
    const char* name;
    QStringList record;
    bool created, save;
};
class ChannelInitializeTest : public ::testing::TestWithParam<RecordRow> {};

TEST_P(ChannelInitializeTest, AcceptsWellFormedRecordsOnly) {
    const RecordRow& c = GetParam();
    ChannelRig rig;
    rig.settings.Timeout = 17;
    rig.settings.Proxy = QStringLiteral("proxy.invalid:8080");
    rig.settings.ProxyEnable = true;
    ASSERT_TRUE(rig.manager->ChannelInitialize(rig.boxes.Load(), record("ch01", "True")));
    rig.settings.ProxyEnable = false;
    PictureElement* box = rig.boxes.Load();
    EXPECT_EQ(rig.manager->ChannelInitialize(box, c.record), c.created);
    EXPECT_EQ(rig.manager->ChannelCount(), c.created ? 2 : 1);
    EXPECT_EQ(rig.http.Count(), c.created ? 3 : 2);  // element 0 is no channel's
    const HTTPTransfer* first = rig.manager->ChannelAt(1)->HTTP();
    EXPECT_EQ(std::tuple(first->Index(), first->Tag, first->RequestTimeout, first->AccessType, first->Proxy),
              std::tuple(1, QString("ch01"), 17, int(HTTPTransfer::AccessNamedProxy), rig.settings.Proxy));
    if (!c.created) return;
    clsChannel* ch = rig.manager->ChannelAt(2);
    EXPECT_EQ(ch->ChannelID(), c.record[2]);
    EXPECT_EQ(ch->SavePicture(), c.save);
    EXPECT_EQ(ch->ShowBox(), box);
    const HTTPTransfer* http = ch->HTTP();
    EXPECT_EQ(http, rig.http.Element(2));
    EXPECT_EQ(std::tuple(http->Tag, http->AccessType, http->Proxy), std::tuple(c.record[2], 0, QString()));
    EXPECT_EQ(box->Tag, c.record[2]);
    EXPECT_EQ(rig.manager->Channel(c.record[2].toUpper()), ch);  // lookups ignore case
}

// clang-format off
const RecordRow kRecords[] = {
    {"True", record("ch02", "True"), true, true}, {"zero", record("ch02", "0"), true, false},
    {"more_pieces_than_needed", record("ch02", "true", 7), true, true},
    {"same_ChannelID_in_another_case", record("CH01", "False"), false, false},
    {"five_pieces", record("ch02", "True", 5), false, false}, {"no_pieces", QStringList(), false, false},
    {"save_flag_that_is_no_Boolean", record("ch02", "yes"), false, false},
    {"empty_ChannelID", record("", "True"), false, false}};
// clang-format on
VANTORA_ROWS(ChannelInitializeTest, kRecords);

// SaveString follows the save flag; favourites, the control flag and the
// selection raise their events; 放送中の画像のみ表示 and a folder's removal
// reach every channel.
TEST(ChannelManegerTest, SwitchesReachTheirChannelsAndEvents) {
    ChannelRig rig;
    for (const char* id : {"a", "b", "c"}) ASSERT_TRUE(rig.add(id, "http://127.0.0.1:9/info.txt"));
    clsChannel* a = rig.manager->ChannelAt(1);
    EXPECT_EQ(a->SaveString(), QStringLiteral("VTR1\t\ta\t\t名前\t\thttp://127.0.0.1:9/info.txt\t\tFalse"));
    ManagerLog log(*rig.manager);
    a->setBelongFavarite(true);
    a->setBelongFavarite(true);
    a->setSavePicture(true);
    a->Request_ChannelControlRefresh();
    a->setBelongFavarite(false);
    a->ViewControl(clsChannel::NormalViewOpen, QString());
    using M = clsChannelManeger;
    const QString saveAndFavarite = QString::number(M::ControlSavePicture | M::ControlBelongFavarite);
    const QString saveAndNormal = QString::number(M::ControlSavePicture | M::ControlNormalView);
    EXPECT_EQ(log.events.filter(QRegularExpression("fav|control")),
              (QStringList{"addfav:a", "addfav:a", "control:a:" + saveAndFavarite + ":", "removefav:a",
                           "control:a:" + saveAndNormal + ":"}));
    EXPECT_TRUE(a->SaveString().endsWith("\t\tTrue"));
    // Selecting raises everything, twice for the same value; no selection,
    // or one that names no channel, clears the window.
    for (const QString& id : {QStringLiteral("b"), QStringLiteral("b"), QString(), QStringLiteral("nobody")}) {
        log.events.clear();
        log.infos.clear();
        rig.manager->setSelectedChannelID(id);
        EXPECT_EQ(rig.manager->SelectedChannelID(), id);
        EXPECT_EQ(log.events, (id == "b" ? QStringList{"control:b:0:", "info:b", "showbox:b"}
                                         : QStringList{"control::0:", "info:"}));
        EXPECT_TRUE(id == "b" ? log.texts().startsWith(QStringLiteral("名前\u3000情報なし\u3000閲覧停止中\u30000/-1"))
                              : log.infos == QList<QStringList>{QStringList{""}})
            << log.texts().toStdString();
    }

    rig.manager->setShowPictureOnlyOnBroadCast(true);
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(rig.manager->ChannelAt(i)->ShowPictureOnlyOnBroadCast());
    rig.manager->ChannelAt(1)->AddThumbnailShowBox("3", rig.boxes.Load(), true);
    rig.manager->ChannelAt(1)->AddThumbnailShowBox("7", rig.boxes.Load(), true);
    rig.manager->ChannelAt(3)->AddThumbnailShowBox("3", rig.boxes.Load(), false);
    rig.manager->DeleteMultiMonitor("3");
    EXPECT_EQ(rig.manager->ChannelAt(1)->getThumbnailShowBoxIndexFromMultiMonitorID("3"), 0);
    EXPECT_EQ(rig.manager->ChannelAt(1)->getThumbnailShowBoxIndexFromMultiMonitorID("7"), 2);
    EXPECT_EQ(rig.manager->ChannelAt(3)->getThumbnailShowBoxIndexFromMultiMonitorID("3"), 0);
    EXPECT_EQ(rig.manager->ChannelAt(3)->ThumbnailCount(), 1);
}

}  // namespace
