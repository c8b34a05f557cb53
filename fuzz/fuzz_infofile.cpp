// The channel information file as a server sends it: CP932 text, analysed
// by AnalyzeInfomationFile. Besides crashes, checks that the analysis is a
// pure "last key wins" reading: the text twice over gives the same fields.
#include "FuzzSupport.h"
#include "channel/ChannelInfomation.h"
#include "common/Cp932.h"

namespace {

bool same(const ChannelInfomation& a, const ChannelInfomation& b) {
    return a.ProtocolSignature == b.ProtocolSignature && a.ChannelID == b.ChannelID && a.ChannelName == b.ChannelName &&
           a.ChannelNumber == b.ChannelNumber && a.URL == b.URL && a.ThumbnailURL == b.ThumbnailURL &&
           a.ReloadTime == b.ReloadTime && a.CommentforChannel == b.CommentforChannel && a.StatusFlag == b.StatusFlag &&
           a.BroadCastStartTime == b.BroadCastStartTime && a.LastModified == b.LastModified;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const QString text = Cp932::decode(reinterpret_cast<const char*>(data), qsizetype(size));
    ChannelInfomation once;
    const bool ok = AnalyzeInfomationFile(text, once);
    ChannelInfomation twice;
    // Joined by CR LF: a final lone CR of the first copy stays in its value.
    const bool ok2 = AnalyzeInfomationFile(text + QLatin1String("\r\n") + text, twice);
    FUZZ_CHECK(ok == ok2);
    FUZZ_CHECK(same(once, twice));
    return 0;
}
