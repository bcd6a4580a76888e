// Digits may follow the first letter of a plain identifier but never start one; a name with a
// digit anywhere must come out of quoting and unquoting as it went in.
#include <gtest/gtest.h>

#include <string>

#include "data/access/CRAccess_SQLInfo.h"
#include "framework/rtl/Classes.h"

using namespace daccess;

namespace {

// The dialect with identifiers of the given case: 0 upper, 1 lower, 2 either.
class TCaseInfo : public TSQLInfo {
public:
    explicit TCaseInfo(int IdCase) : TSQLInfo(&store::TSQLParser::StaticClass()), FIdCase(IdCase) {}
    int IdentCase() const override { return FIdCase; }

private:
    int FIdCase;
};

}  // namespace

TEST(SQLInfoDigits, EveryDigitAfterALetterIsPlainAndBeforeOneIsQuoted) {
    for (int idCase : {0, 1, 2}) {
        TCaseInfo info(idCase);
        const char letter = idCase == 1 ? 'a' : 'A';
        for (char d = '0'; d <= '9'; ++d) {
            const AnsiString after = std::string{letter, d};
            const AnsiString inside = std::string{letter, d, letter};
            const AnsiString first = std::string{d, letter};
            const AnsiString alone(1, d);
            EXPECT_FALSE(info.QuotesNeeded(after)) << idCase << " " << after;
            EXPECT_FALSE(info.QuotesNeeded(inside)) << idCase << " " << inside;
            EXPECT_TRUE(info.QuotesNeeded(first)) << idCase << " " << first;
            EXPECT_TRUE(info.QuotesNeeded(alone)) << idCase << " " << alone;
            EXPECT_EQ(info.QuoteIfNeeded(after), after);
            EXPECT_EQ(info.QuoteIfNeeded(first), "\"" + first + "\"");
            for (const AnsiString& name : {after, inside, first, alone})
                EXPECT_EQ(info.UnQuote(info.QuoteIfNeeded(name)), name) << idCase << " " << name;
        }
        EXPECT_TRUE(info.QuotesNeeded("0123456789"));
        EXPECT_FALSE(info.QuotesNeeded(AnsiString(1, letter) + "0123456789"));
    }
}
