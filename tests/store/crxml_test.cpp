#include <gtest/gtest.h>

#include "data/store/CRXml.h"
#include "framework/rtl/Text.h"

using namespace store;

TEST(XmlEscapeTest, ReplacesTheFiveSpecialCharactersOnly) {
    struct Case {
        const char16_t* In;
        const char16_t* Out;
    } cases[] = {
        {u"", u""},
        {u"plain", u"plain"},
        {u"a&b'c\"d<e>f", u"a&#x26;b&#x27;c&#x22;d&#x3c;e&#x3e;f"},
        {u"&#x26;", u"&#x26;#x26;"},  // an existing reference is escaped again
        {u"\u0410\u0440\u0445\u0438\u0432 <\u2116 1>", u"\u0410\u0440\u0445\u0438\u0432 &#x3c;\u2116 1&#x3e;"},
    };
    for (const auto& c : cases) EXPECT_EQ(XmlEscape(c.In), c.Out) << rtl::WideToUTF8(c.In);
}

TEST(XmlWriterTest, AttributesGoIntoTheOpenStartTagInOrder) {
    XmlWriter w;
    w.WriteStartElement(u"s:AttributeType");
    WriteXmlAttribute(w, u"name", u"source_name");
    WriteXmlAttribute(w, u"rs:number", u"2");
    w.WriteStartElement(u"s:datatype");
    WriteXmlAttribute(w, u"dt:type", u"string");
    WriteXmlAttribute(w, u"dt:maxLength", u"255");
    w.WriteEndElement();
    w.WriteEndElement();
    EXPECT_EQ(w.Text(),
              u"<s:AttributeType name=\"source_name\" rs:number=\"2\">"
              u"<s:datatype dt:type=\"string\" dt:maxLength=\"255\"></s:datatype></s:AttributeType>");
}

TEST(XmlWriterTest, AttributeValueIsEscapedAndUsesTheQuoteCharacter) {
    XmlWriter w(u'\'');
    w.WriteStartElement(u"z:row");
    WriteXmlAttribute(w, u"note", u"\"Tom & Jerry\" <'1940'>");
    w.WriteString(u"a<b");
    w.WriteEndElement();
    EXPECT_EQ(w.Text(), u"<z:row note='&#x22;Tom &#x26; Jerry&#x22; &#x3c;&#x27;1940&#x27;&#x3e;'>a&#x3c;b</z:row>");
}

TEST(XmlWriterTest, AttributeAfterContentIsRefusedAndLeavesTextIntact) {
    const char* message = "Token WriteAttributeString in state Content would result in an invalid XML document.";
    XmlWriter w;
    try {
        WriteXmlAttribute(w, u"a", u"1");  // nothing open
        FAIL();
    } catch (const XmlException& e) {
        EXPECT_EQ(e.Message(), message);
    }
    w.WriteStartElement(u"row");
    w.WriteString(u"text");
    WideString before = w.Text();
    try {
        WriteXmlAttribute(w, u"a", u"1");
        FAIL();
    } catch (const XmlException& e) {
        EXPECT_EQ(e.Message(), message);
    }
    EXPECT_EQ(w.Text(), before);
    w.WriteEndElement();
    EXPECT_THROW(WriteXmlAttribute(w, u"a", u"1"), XmlException);
    EXPECT_THROW(w.WriteEndElement(), XmlException);
}
