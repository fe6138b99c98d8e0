// DecodeText on whatever the update server might send: the bytes are turned
// into text as the download does (code page 932), then decoded.

#include "lookup/DecryptAUCG.h"
#include "platform/cPlatform.h"

#include <QStringDecoder>

#include <cstdlib>

namespace {

// Counts the message boxes; nothing else of the desktop is used by DecodeText.
class cNullPlatform : public cPlatform {
public:
    int boxes = 0;
    eMsgAnswer MsgBox(const QString&, eMsgStyle, const QString&) override {
        return ++boxes, eMsgAnswer::OK;
    }
    void Beep() override {}
    void ClipboardClear() override {}
    void ClipboardSetText(const QString&) override {}
    std::optional<QString> GetSaveFileName(const tSaveFileRequest&) override {
        return std::nullopt;
    }
    void OpenURL(const QString&) override {}
    int ScreenWidthPixels() override { return 1024; }
};

void Check(const QString& text) {
    cNullPlatform platform;
    const QString plain = DecryptAUCG::DecodeText(text, platform);
    // At most one report, and none when something was decoded.
    if (platform.boxes > 1 || (platform.boxes == 1 && !plain.isEmpty()))
        abort();
    // Whatever decodes must encode back to something that decodes the same.
    if (!plain.isEmpty()) {
        const auto again = DecryptAUCG::EncodeText(plain, 0);
        if (again) {
            cNullPlatform quiet;
            if (DecryptAUCG::DecodeText(*again, quiet) != plain || quiet.boxes != 0)
                abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the download turns bytes into text, and as raw 16-bit characters
    // (any QChar, lone surrogates included).
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(QStringDecoder("windows-31j").decode(bytes));
    Check(QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2)));
    return 0;
}
