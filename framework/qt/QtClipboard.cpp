#include "framework/qt/QtClipboard.h"

#include <algorithm>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"

namespace qtback {

namespace {

const QString RegisteredPrefix = QStringLiteral("application/x-velmorat-format;name=");
const QString NumberedPrefix = QStringLiteral("application/x-velmorat-format;number=");

QClipboard* Board() { return QGuiApplication::clipboard(); }

QString TextOf(ui::TClipboardFormat Format, const rtl::TBytes& Data) {
    if (Format == ui::CF_UNICODETEXT) {
        std::u16string w;
        for (size_t i = 0; i + 1 < Data.size(); i += 2) {
            const char16_t c = char16_t(Data[i] | (Data[i + 1] << 8));
            if (c == 0) break;
            w.push_back(c);
        }
        return QString::fromUtf16(w.data(), qsizetype(w.size()));
    }
    std::string a(Data.begin(), Data.end());
    if (auto z = a.find('\0'); z != std::string::npos) a.resize(z);
    return AnsiToQString(a);
}

rtl::TBytes UnicodeBytes(const QString& S) {
    rtl::TBytes b;
    b.reserve(size_t(S.size()) * 2 + 2);
    for (QChar c : S) {
        b.push_back(uint8_t(c.unicode() & 0xFF));
        b.push_back(uint8_t(c.unicode() >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

}  // namespace

// Registered formats other programs know under a standard type.
struct TStandardType {
    const char* Name;
    const char* Mime;
};
constexpr TStandardType StandardTypes[] = {{"Csv", "text/csv"}, {"Rich Text Format", "text/rtf"}};

QString MimeTypeOf(ui::TClipboardFormat Format) {
    if (Format == ui::CF_TEXT || Format == ui::CF_UNICODETEXT || Format == ui::CF_OEMTEXT)
        return QStringLiteral("text/plain");
    const rtl::AnsiString name = ui::GetClipboardFormatName(Format);
    for (const TStandardType& t : StandardTypes)
        if (!name.empty() && ui::RegisterClipboardFormat(t.Name) == Format) return QString::fromLatin1(t.Mime);
    if (!name.empty()) return RegisteredPrefix + QString::fromLatin1(QUrl::toPercentEncoding(AnsiToQString(name)));
    return NumberedPrefix + QString::number(Format);
}

TQtClipboardStore::TQtClipboardStore() {
    FChanged = QObject::connect(Board(), &QClipboard::dataChanged, [this] {
        if (!FPublishing) FOwned = false;
    });
}

TQtClipboardStore::~TQtClipboardStore() { QObject::disconnect(FChanged); }

bool TQtClipboardStore::Owned() const { return FOwned && FPublished != nullptr && Board()->mimeData() == FPublished; }

void TQtClipboardStore::Publish() {
    auto* mime = new QMimeData;
    for (const auto& [format, data] : FItems) {
        if (format == ui::CF_TEXT || format == ui::CF_UNICODETEXT || format == ui::CF_OEMTEXT) {
            if (!mime->hasText()) mime->setText(TextOf(format, data));
        } else {
            mime->setData(MimeTypeOf(format),
                          QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
        }
    }
    FPublished = mime;
    FPublishing = true;
    Board()->setMimeData(mime);
    FPublishing = false;
    FOwned = true;
}

void TQtClipboardStore::Clear() {
    FItems.clear();
    FPublished = nullptr;
    FOwned = false;
    Board()->clear();
}

void TQtClipboardStore::SetData(ui::TClipboardFormat Format, rtl::TBytes Data) {
    if (!Owned()) FItems.clear();
    bool replaced = false;
    for (auto& item : FItems)
        if (item.first == Format) {
            item.second = std::move(Data);
            replaced = true;
            break;
        }
    if (!replaced) FItems.emplace_back(Format, std::move(Data));
    Publish();
}

bool TQtClipboardStore::HasData(ui::TClipboardFormat Format) const {
    if (Owned()) {
        for (const auto& item : FItems)
            if (item.first == Format) return true;
        return false;
    }
    const QMimeData* m = Board()->mimeData();
    if (!m) return false;
    if (Format == ui::CF_UNICODETEXT) return m->hasText();
    if (Format == ui::CF_TEXT) return false;  // foreign text is Unicode; the model converts it
    return m->hasFormat(MimeTypeOf(Format));
}

rtl::TBytes TQtClipboardStore::GetData(ui::TClipboardFormat Format) const {
    if (Owned()) {
        for (const auto& item : FItems)
            if (item.first == Format) return item.second;
        return {};
    }
    const QMimeData* m = Board()->mimeData();
    if (!m) return {};
    if (Format == ui::CF_UNICODETEXT) return m->hasText() ? UnicodeBytes(m->text()) : rtl::TBytes{};
    if (Format == ui::CF_TEXT) return {};
    const QByteArray b = m->data(MimeTypeOf(Format));
    return rtl::TBytes(b.begin(), b.end());
}

std::vector<ui::TClipboardFormat> TQtClipboardStore::Formats() const {
    std::vector<ui::TClipboardFormat> out;
    if (Owned()) {
        for (const auto& item : FItems) out.push_back(item.first);
        return out;
    }
    const QMimeData* m = Board()->mimeData();
    if (!m) return out;
    if (m->hasText()) out.push_back(ui::CF_UNICODETEXT);
    for (const QString& f : m->formats()) {
        const auto standard = std::find_if(std::begin(StandardTypes), std::end(StandardTypes),
                                           [&](const TStandardType& t) { return f == QLatin1String(t.Mime); });
        if (standard != std::end(StandardTypes)) {
            const ui::TClipboardFormat format = ui::RegisterClipboardFormat(standard->Name);
            if (std::find(out.begin(), out.end(), format) == out.end()) out.push_back(format);
        } else if (f.startsWith(RegisteredPrefix)) {
            const QString name = QUrl::fromPercentEncoding(f.mid(RegisteredPrefix.size()).toLatin1());
            out.push_back(ui::RegisterClipboardFormat(rtl::WideToAnsi(name.toStdU16String())));
        } else if (f.startsWith(NumberedPrefix)) {
            out.push_back(ui::TClipboardFormat(f.mid(NumberedPrefix.size()).toUInt()));
        }
    }
    return out;
}

}  // namespace qtback
