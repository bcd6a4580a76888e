// The system clipboard behind the model's clipboard: text as text, registered formats as MIME types
// of their own.
#pragma once

#include <QString>

#include "framework/ui/Clipbrd.h"

class QMimeData;

namespace qtback {

// The MIME type a clipboard format travels as (text formats travel as plain text).
QString MimeTypeOf(ui::TClipboardFormat Format);

class TQtClipboardStore : public ui::IClipboardStore {
public:
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
};

}  // namespace qtback
