#include "data/sqlite/LiteParserUni.h"

namespace sqlite {

bool TLiteParser::IsIdentQuote(char ch) const { return ch == '"' || ch == '`'; }

}  // namespace sqlite
