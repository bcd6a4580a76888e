#include "data/components/DAScript.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "data/store/CLRClasses.h"
#include "framework/db/DB.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace components {

using daccess::TCustomDAConnection;

TDAScriptProcessor* TDAScriptProcessorClass::Create(TDAScript* Script) const {
    return rtl::Create<TDAScriptProcessor>(Script);
}

namespace {

// Whether the rest of the stream is UTF-8 with at least one character outside ASCII. Cyrillic text
// in the single-byte code page never passes: its letters are not UTF-8 sequences.
bool IsUTF8Text(rtl::TStream* Stream) {
    const int64_t start = Stream->Position();
    rtl::TUTF8Check check;
    char buf[65536];
    for (int64_t got; (got = Stream->Read(buf, sizeof buf)) > 0;)
        if (!check.Feed(std::string_view(buf, static_cast<size_t>(got)))) break;
    Stream->SetPosition(start);
    return check.Valid() && check.SawNonAscii();
}

}  // namespace

// =============================================================================================
// TScriptLines

void TScriptLines::LoadFromStream(rtl::TStream* Stream) {
    const int64_t size = Stream->Size() - Stream->Position();
    std::string bytes(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (size > 0) Stream->ReadBuffer(bytes.data(), size);
    // Text files: a byte-order mark decides; without one, valid UTF-8 is UTF-8 and any other text
    // the single-byte code page.
    std::string utf8;
    bool unicode = true;
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
        std::u16string wide((bytes.size() - 2) / 2, u'\0');
        std::memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
        utf8 = rtl::WideToUTF8(wide);
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        utf8 = bytes.substr(3);
    } else {
        rtl::TMemoryStream probe;
        probe.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        probe.SetPosition(0);
        unicode = IsUTF8Text(&probe);
        if (unicode) utf8 = std::move(bytes);
    }
    FLoading = true;
    rtl::TryFinally([&] { SetText(unicode ? rtl::UTF8ToAnsi(utf8) : bytes); }, [&] { FLoading = false; });
    FSource = std::move(utf8);
    FHasSource = unicode;
}

void TScriptLines::Changed() {
    if (!FLoading) {
        FHasSource = false;
        FSource.clear();
    }
    rtl::TStringList::Changed();
}

// =============================================================================================
// TDAScriptProcessor

TDAScriptProcessor::~TDAScriptProcessor() = default;

const store::TParserClass& TDAScriptProcessor::GetParserClass() {
    rtl::AssertFail("Should be overriden", DAScriptUnit, 381);
}

void TDAScriptProcessor::SetProp(int Prop, const Variant& /*Value*/) {
    rtl::AssertFail(rtl::IntToStr(Prop), DAScriptUnit, 364);
}

Variant TDAScriptProcessor::GetProp(int Prop) { rtl::AssertFail(rtl::IntToStr(Prop), DAScriptUnit, 358); }

void TDAScriptProcessor::Reset() { FParser.reset(); }

const store::Encoding* TDAScriptProcessor::StreamEncoding(rtl::TStream* Stream, int& BOMLength) {
    BOMLength = 0;
    uint8_t head[3] = {0, 0, 0};
    const int64_t start = Stream->Position();
    const int64_t got = Stream->Read(head, 3);
    Stream->SetPosition(start);
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        BOMLength = 2;
        return store::Encoding::UnicodeInstance();
    }
    // All three bytes: a single-byte text may well begin with the first two.
    if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        BOMLength = 3;
        return store::Encoding::Utf8Instance();
    }
    if (IsUTF8Text(Stream)) return store::Encoding::Utf8Instance();
    return store::Encoding::AnsiInstance();
}

void TDAScriptProcessor::CreateParser() {
    const store::TParserClass& cls = GetParserClass();
    rtl::TStream* stream = FScript->FStream;
    // Lines loaded from a UTF-8 file are read from that text, which keeps every character.
    if (const std::string* source = stream ? nullptr : FScript->FSQL->SourceUTF8()) {
        FSourceStream.reset(rtl::Create<rtl::TMemoryStream>());
        FSourceStream->WriteBuffer(source->data(), static_cast<int64_t>(source->size()));
        FSourceStream->SetPosition(0);
        stream = FSourceStream.get();
    }
    if (stream) {
        int bom = 0;
        const store::Encoding* encoding = StreamEncoding(stream, bom);
        stream->Seek(bom, rtl::TSeekOrigin::soCurrent);
        FParser.reset(cls.CreateFromStream(stream, encoding));
    } else {
        FParser.reset(cls.Create(FScript->FText));
    }
    FParser->SetSkipBlanks(false);
    FParser->SetSkipComments(false);
    FParser->SetUpperCaseKeywords(false);
    FParser->SetKeepStringQuotes(true);
    FParser->SetCountLinesInQuotes(true);
}

void TDAScriptProcessor::CheckLexem(int Code, const AnsiString& /*Lexem*/, int& StatementKind) {
    if (Code == store::lcComment) {
        if (StatementKind == skNormal && FStatement.find_first_not_of(" \t\r\n") == AnsiString::npos)
            StatementKind = skComment;
    } else if (Code != store::lcBlank) {
        if (StatementKind == skComment) StatementKind = skNormal;
    }
}

namespace {

bool HasLineBreak(const AnsiString& s) { return s.find_first_of("\r\n") != AnsiString::npos; }

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

bool TDAScriptProcessor::CollectLexemes(int& kind) {
    bool atEnd = false;
    bool collected = false;
    AnsiString prev;
    int64_t prevEnd = -1;
    AnsiString lexem;
    for (;;) {
        const int code = FParser->GetNext(lexem);
        if (code == store::lcEnd) {
            atEnd = true;
            break;
        }
        if (code != store::lcString && IsEndLexem(code, lexem)) break;
        const bool plain = code != store::lcString && code != store::lcComment && code != store::lcBlank;
        bool checked = false;
        if (plain) {
            if (!IsBlockStatement(kind) && lexem == FDelimiter) break;
            // A delimiter such as "$$" may be read as the tail of the word before it.
            if (lexem.size() > FDelimiter.size() && !FDelimiter.empty() && !IsWordChar(FDelimiter[0]) &&
                lexem.ends_with(FDelimiter)) {
                const AnsiString head = lexem.substr(0, lexem.size() - FDelimiter.size());
                CheckLexem(code, head, kind);
                checked = true;
                if (!IsBlockStatement(kind)) {
                    FStatement += head;
                    FScript->FEndPos = FParser->CurrentPos() - static_cast<int64_t>(FDelimiter.size());
                    FScript->FEndLine = FParser->CurrentLine();
                    FScript->FEndColumn = FParser->CurrentColumn() - static_cast<int64_t>(FDelimiter.size());
                    break;
                }
            }
            if (!IsBlockStatement(kind) && FDelimiter.size() == 2 && lexem.size() == 1 && lexem[0] == FDelimiter[1] &&
                prev.size() == 1 && prev[0] == FDelimiter[0] && prevEnd == FParser->LastLexemPos() &&
                !FStatement.empty()) {
                FStatement.pop_back();
                break;
            }
            if (lexem == "/" && FParser->LastLexemColumn() == 0) {
                AnsiString next;
                const int nextCode = FParser->GetNext(next);
                if (nextCode == store::lcEnd) {
                    atEnd = true;
                    break;
                }
                if (nextCode == store::lcBlank && HasLineBreak(next)) break;
                FParser->Back();
            }
        }
        if (!collected && code == store::lcBlank) {
            FScript->FStartPos = FParser->CurrentPos();
            FScript->FStartLine = FParser->CurrentLine();
            FScript->FStartColumn = FParser->CurrentColumn();
            continue;
        }
        if (!checked) CheckLexem(code, lexem, kind);
        FStatement += lexem;
        collected = true;
        FScript->FEndPos = FParser->CurrentPos();
        FScript->FEndLine = FParser->CurrentLine();
        FScript->FEndColumn = FParser->CurrentColumn();
        if (code != store::lcBlank && code != store::lcComment) {
            prev = lexem;
            prevEnd = FParser->CurrentPos();
        }
    }
    return atEnd;
}

// Contract: runs the next statement of the script (blank ones and delimiter changes are passed
// over) and returns true while statements remain; false at the end or when the error handler
// stopped the script. The script's start and end positions then name the statement run.
bool TDAScriptProcessor::ExecuteNext() {
    std::lock_guard lock(FScript->FLock);
    if (!FParser) CreateParser();
    daccess::TCustomDADataSet* ds = FScript->FDataSet;
    const bool oldDebug = ds ? ds->Debug() : false;
    if (ds) ds->SetDebug(FScript->FDebug);
    bool result = false;
    rtl::TryFinally(
        [&] {
            for (;;) {
                FStatement.clear();
                int kind = skNormal;
                FScript->FErrorOffset = 0;
                FScript->FStartPos = FParser->CurrentPos();
                FScript->FStartLine = FParser->CurrentLine();
                FScript->FStartColumn = FParser->CurrentColumn();
                BeforeStatement();
                bool atEnd = false;
                if (ScanStatement(FScanned)) {
                    FStatement.swap(FScanned.Text);
                    kind = FScanned.Kind;
                    atEnd = FScanned.AtEnd;
                    FScript->FStartPos = FScanned.StartPos;
                    FScript->FStartLine = FScanned.StartLine;
                    FScript->FStartColumn = FScanned.StartColumn;
                    FScript->FEndPos = FScanned.EndPos;
                    FScript->FEndLine = FScanned.EndLine;
                    FScript->FEndColumn = FScanned.EndColumn;
                } else {
                    atEnd = CollectLexemes(kind);
                }
                if (FStatement.find_first_not_of(" \t\r\n") == AnsiString::npos || CheckDelimiterChange(FStatement)) {
                    if (atEnd) {
                        FParser.reset();
                        result = false;
                        return;
                    }
                    continue;
                }
                ++FStatementIndex;
                const bool stop = ExecuteStatement(StatementFromSource(FStatement), kind);
                if (stop) {
                    result = false;
                    return;
                }
                if (FParser) {
                    FScript->FNextOffset = FParser->CurrentPos();
                    FScript->FStartPos = FParser->CurrentPos();
                    FScript->FStartLine = FParser->CurrentLine();
                    FScript->FStartColumn = FParser->CurrentColumn();
                }
                result = true;
                return;
            }
        },
        [&] {
            if (ds) ds->SetDebug(oldDebug);
        });
    return result;
}

bool TDAScriptProcessor::ExecuteStatement(AnsiString text, int StatementKind) {
    // Expanding drops references to unknown names: only a script that has macros expands them.
    if (FScript->FMacros->Count() > 0) FScript->FMacros->Expand(text);
    bool omit = false;
    if (FScript->BeforeExecute) FScript->BeforeExecute(this, text, omit);
    if (!omit) omit = CheckOmit(StatementKind);
    if (omit) return false;
    bool stop = false;
    rtl::TryFinally([&] { stop = FScript->ExecuteSQL(text); }, [&] { AfterStatement(); });
    if (stop) return true;
    if (FScript->AfterExecute) FScript->AfterExecute(this, text);
    return false;
}

// =============================================================================================
// TDAScript

TDAScript::TDAScript(rtl::TComponent* Owner) : TComponent(Owner) {
    FSQL.reset(rtl::Create<TScriptLines>());
    FSQL->OnChange = [this](rtl::TObject*) { SQLChanged(); };
    FMacros.reset(rtl::Create<daccess::TMacros>(this));
}

TDAScript::~TDAScript() {
    FProcessor.reset();
    FSQLComponent.reset();
}

void TDAScript::AfterConstruction() {
    TComponent::AfterConstruction();
    FSQLComponent.reset(CreateSQL());
    FSQLComponent->SetAutoCommit(false);
}

void TDAScript::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FDataSet) FDataSet = nullptr;
}

const TDAScriptProcessorClass& TDAScript::GetProcessorClass() {
    rtl::AssertFail("Assertion failure", DAScriptUnit, 979);
}

void TDAScript::SetProcessor(TDAScriptProcessor* Value) {
    FProcessor.reset(Value);
    if (!Value) return;
    const store::TParserClass& parser = Value->GetParserClass();
    FMacros->SetParserClass(parser);
    FSQLComponent->Macros()->SetParserClass(parser);
}

TDAScriptProcessor* TDAScript::EnsureProcessor() {
    const TDAScriptProcessorClass& cls = GetProcessorClass();
    if (!FProcessor || FProcessor->ClassType() != &cls) {
        SetProcessor(cls.Create(this));
        FProcessor->SetDelimiter(FDelimiter);
    }
    return FProcessor.get();
}

TCustomDAConnection* TDAScript::UsedConnection() const { return FSQLComponent->UsedConnection(); }

daccess::TCustomDASQL* TDAScript::CreateSQL() { return rtl::Create<daccess::TCustomDASQL>(nullptr); }

void TDAScript::SetSQL(rtl::TStrings* Value) {
    if (FSQL->Text() != Value->Text()) FSQL->Assign(Value);
}

void TDAScript::SQLChanged() {
    FText = FSQL->Text();
    FMacros->Scan(FText);
    const size_t end = FText.find_last_not_of(" \t\r\n");
    FText.erase(end == AnsiString::npos ? 0 : end + 1);
    BreakExec();
}

void TDAScript::SetDebug(bool Value) {
    FDebug = Value;
    FSQLComponent->SetDebug(Value);
}

void TDAScript::SetDataSet(daccess::TCustomDADataSet* Value) {
    if (FDataSet == Value) return;
    if (FDataSet) FDataSet->RemoveFreeNotification(this);
    FDataSet = Value;
    if (FDataSet) FDataSet->FreeNotification(this);
}

void TDAScript::BreakExec() {
    FStop = true;
    std::lock_guard lock(FLock);
    if (FProcessor) FProcessor->Reset();
    FErrorOffset = 0;
    FStartPos = FStartLine = FStartColumn = 0;
    FEndPos = FEndLine = FEndColumn = 0;
    FNextOffset = 0;
}

bool TDAScript::ExecuteNext() { return EnsureProcessor()->ExecuteNext(); }

void TDAScript::Execute() {
    FStop = false;
    TDAScriptProcessor* processor = EnsureProcessor();
    TCustomDAConnection* conn = FDataSet ? FDataSet->UsedConnection() : UsedConnection();
    if (!conn) db::DatabaseError(daccess::SConnectionNotDefined);
    if (!FNoPreconnect) conn->InternalConnect();
    if (FDataSet) FDataSet->DisableControls();
    rtl::TryFinally(
        [&] {
            processor->SetDelimiter(FDelimiter);
            processor->SetStatementIndex(-1);
            while (!FStop) {
                if (!ExecuteNext()) break;
            }
        },
        [&] {
            {
                std::lock_guard lock(FLock);
                if (FProcessor) FProcessor->Reset();
            }
            if (FDataSet) FDataSet->EnableControls();
            if (!FNoPreconnect) conn->InternalDisconnect();
        });
}

bool TDAScript::ExecuteSQL(const AnsiString& SQL) {
    try {
        if (FDataSet) {
            FDataSet->SetSQL(SQL);
            FDataSet->Execute();
        } else {
            FSQLComponent->SetSQL(SQL);
            FSQLComponent->Execute();
        }
    } catch (const rtl::EAbort&) {
        throw;
    } catch (rtl::Exception& E) {
        RecordErrorOffset();
        TErrorAction action = eaException;
        if (OnError) OnError(this, E, rtl::Trim(SQL), action);
        switch (action) {
            case eaAbort: return true;
            case eaFail: throw;
            case eaException:
                if (!rtl::ApplicationExceptionHandlerInstalled()) throw;
                rtl::HandleException(E);
                return false;
            case eaContinue: return false;
        }
    }
    return false;
}

// =============================================================================================
// TDAScriptUtils

void TDAScriptUtils::SetStream(TDAScript* Script, rtl::TStream* Stream) {
    rtl::Assert(Script->FStream == nullptr, "Assertion failure", DAScriptUnit, 825);
    Script->BreakExec();
    Script->FStream = Stream;
}

void TDAScriptUtils::ClearStream(TDAScript* Script) {
    Script->BreakExec();
    Script->FStream = nullptr;
}

}  // namespace components
