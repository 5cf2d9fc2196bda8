#include "pictures/module_text.h"

#include <QStringDecoder>

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// Where no GBK decoder is available, the system's code page is the module's own on the
// machines it is sold for.
QString DecodeWithoutGbk(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The code page maps a few undefined bytes to private-use characters; they are not text.
void ReplacePrivateUse(QString& text) {
    for (QChar& c : text) {
        if (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF) {
            c = QChar(kReplacement);
        }
    }
}

}  // namespace

std::string DecodeModuleText(std::string_view bytes) {
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        return DecodeWithoutGbk(bytes).toStdString();
    }
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    ReplacePrivateUse(text);
    return text.toStdString();
}
