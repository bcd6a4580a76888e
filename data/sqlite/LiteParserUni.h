// The SQLite dialect of the SQL lexer: identifiers may be quoted with double quotes or backquotes.
#pragma once

#include "data/store/CRParser.h"

namespace sqlite {

class TLiteParser : public store::TSQLParser {
    RTL_CLASS(TLiteParser, store::TSQLParser)
public:
    using TSQLParser::TSQLParser;

    bool IsIdentQuote(char ch) const override;
};

}  // namespace sqlite
