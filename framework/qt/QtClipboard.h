// The system clipboard behind the model's clipboard: text as text, registered formats as MIME types
// of their own.
#pragma once

#include <QMetaObject>
#include <QString>

#include "framework/ui/Clipbrd.h"

class QMimeData;

namespace qtback {

// The MIME type a clipboard format travels as (text formats travel as plain text).
QString MimeTypeOf(ui::TClipboardFormat Format);

class TQtClipboardStore : public ui::IClipboardStore {
public:
    TQtClipboardStore();
    ~TQtClipboardStore() override;
    TQtClipboardStore(const TQtClipboardStore&) = delete;
    TQtClipboardStore& operator=(const TQtClipboardStore&) = delete;
    void Clear() override;
    void SetData(ui::TClipboardFormat Format, rtl::TBytes Data) override;
    bool HasData(ui::TClipboardFormat Format) const override;
    rtl::TBytes GetData(ui::TClipboardFormat Format) const override;
    std::vector<ui::TClipboardFormat> Formats() const override;

private:
    // What this process put, while the clipboard is still ours.
    bool Owned() const;
    void Publish();
    std::vector<std::pair<ui::TClipboardFormat, rtl::TBytes>> FItems;
    const QMimeData* FPublished = nullptr;
    // Whether the clipboard still holds what we published: any change we did not make (another
    // program copied, or cleared) ends it for good, so our earlier content never comes back, even
    // when Qt's next content happens to sit at the address of ours.
    bool FOwned = false;
    bool FPublishing = false;
    QMetaObject::Connection FChanged;
};

}  // namespace qtback
