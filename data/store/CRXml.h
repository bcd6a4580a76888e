// The small XML writer behind the rowset attributes of the dataset service: elements, text
// content and attributes with entity escaping. Attributes are inserted into the open start tag,
// so the tag's text is complete at every moment.
#pragma once

#include <cstddef>
#include <vector>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace store {

using rtl::WideString;

RTL_DECLARE_EXCEPTION(XmlException, rtl::Exception);

enum class TXmlWriterState { StartTag, Attribute, Content };

class XmlWriter {
public:
    explicit XmlWriter(char16_t QuoteChar = u'"') : FQuoteChar(QuoteChar) {}

    // Opens an element; its start tag accepts attributes until content or a child is written.
    void WriteStartElement(const WideString& Name);
    // Escaped text content of the open element.
    void WriteString(const WideString& Text);
    // Closes the innermost open element; XmlException when none is open.
    void WriteEndElement();

    const WideString& Text() const noexcept { return FText; }
    TXmlWriterState State() const noexcept { return FState; }
    char16_t QuoteChar() const noexcept { return FQuoteChar; }

private:
    friend void WriteXmlAttribute(XmlWriter& Writer, const WideString& Name, const WideString& Value);

    struct TOpenElement {
        WideString Name;
        size_t InsertPos;  // after the tag's name or its last attribute
    };

    WideString FText;
    char16_t FQuoteChar;
    TXmlWriterState FState = TXmlWriterState::Content;
    std::vector<TOpenElement> FStack;
};

// Writes one attribute into the open start tag.
void WriteXmlAttribute(XmlWriter& Writer, const WideString& Name, const WideString& Value);
// The text with & ' " < > replaced by character references.
WideString XmlEscape(const WideString& Text);

}  // namespace store
