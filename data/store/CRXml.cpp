#include "data/store/CRXml.h"


namespace store {

namespace {

const char* StateName(TXmlWriterState State) {
    switch (State) {
        case TXmlWriterState::StartTag: return "Element";
        case TXmlWriterState::Attribute: return "Attribute";
        case TXmlWriterState::Content: break;
    }
    return "Content";
}

}  // namespace

WideString XmlEscape(const WideString& Text) {
    WideString result;
    result.reserve(Text.size());
    for (char16_t c : Text) {
        switch (c) {
            case u'&': result += u"&#x26;"; break;
            case u'\'': result += u"&#x27;"; break;
            case u'"': result += u"&#x22;"; break;
            case u'<': result += u"&#x3c;"; break;
            case u'>': result += u"&#x3e;"; break;
            default: result += c;
        }
    }
    return result;
}

void XmlWriter::WriteStartElement(const WideString& Name) {
    FText += u'<';
    FText += Name;
    FStack.push_back({Name, FText.size()});
    FText += u'>';
    FState = TXmlWriterState::StartTag;
}

void XmlWriter::WriteString(const WideString& Text) {
    FText += XmlEscape(Text);
    FState = TXmlWriterState::Content;
}

void XmlWriter::WriteEndElement() {
    if (FStack.empty())
        throw XmlException("Token WriteEndElement in state " + rtl::AnsiString(StateName(FState)) +
                           " would result in an invalid XML document.");
    FText += u"</";
    FText += FStack.back().Name;
    FText += u'>';
    FStack.pop_back();
    FState = TXmlWriterState::Content;
}

void WriteXmlAttribute(XmlWriter& Writer, const WideString& Name, const WideString& Value) {
    if ((Writer.FState != TXmlWriterState::StartTag && Writer.FState != TXmlWriterState::Attribute) ||
        Writer.FStack.empty())
        throw XmlException("Token WriteAttributeString in state " + rtl::AnsiString(StateName(Writer.FState)) +
                           " would result in an invalid XML document.");
    size_t pos = Writer.FStack.back().InsertPos;
    WideString piece;
    piece.reserve(Name.size() + Value.size() + 4);
    piece += u' ';
    piece += Name;
    piece += u'=';
    piece += Writer.FQuoteChar;
    piece += XmlEscape(Value);
    piece += Writer.FQuoteChar;
    Writer.FText.insert(pos, piece);
    Writer.FStack.back().InsertPos = pos + piece.size();
    Writer.FState = TXmlWriterState::StartTag;
}

}  // namespace store
