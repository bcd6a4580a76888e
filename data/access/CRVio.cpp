#include "data/access/CRVio.h"

#include <algorithm>
#include <cstring>

namespace daccess {

namespace {
constexpr const char* SNotOverriden = "Not overriden in an inherited class";
}

SocketException::SocketException(std::string_view Fmt, int ErrorCode, std::initializer_list<rtl::TVarRec> Args)
    : rtl::Exception(rtl::Format(Fmt, Args)), FErrorCode(ErrorCode) {}

// ---------------------------------------------------------------------------------------------
// TCRVio

void TCRVio::Connect() {
    FBufferPos = 0;
    FBufferCount = 0;
    FBuffer.assign(ReadBufferSize, 0);
}

int TCRVio::Read(char* Buffer, int Offset, int Count) {
    if (Count <= 0) return 0;
    char* dest = Buffer + Offset;
    int done = 0;

    auto takeBuffered = [&] {
        int n = std::min(Count - done, FBufferCount - FBufferPos);
        if (n > 0) {
            std::memcpy(dest + done, FBuffer.data() + FBufferPos, static_cast<size_t>(n));
            FBufferPos += n;
            done += n;
        }
    };

    takeBuffered();
    if (done == Count) return done;
    rtl::Assert(FBufferPos == FBufferCount, "Assertion failure", CRVioUnit, __LINE__);
    FBufferPos = 0;
    FBufferCount = 0;

    if (Count - done < SmallReadSize) {
        if (FBuffer.size() < static_cast<size_t>(ReadBufferSize)) FBuffer.assign(ReadBufferSize, 0);
        int got = ReadNoWait(FBuffer.data(), 0, ReadBufferSize);
        // A peer that sends nothing more ends the read here.
        if (got <= 0) return done;
        FBufferCount = got;
        takeBuffered();
    }
    while (done < Count) {
        int got = ReadNoWait(dest, done, Count - done);
        if (got <= 0) break;
        done += got;
    }
    return done;
}

int TCRVio::Write(const char* Buffer, int Offset, int Count) {
    int done = 0;
    int emptyWrites = 0;
    while (done < Count) {
        int sent = WriteNoWait(Buffer, Offset + done, Count - done);
        if (sent > 0) {
            done += sent;
            continue;
        }
        if (++emptyWrites >= MaxEmptyWrites) break;
        WaitBeforeRetry();
    }
    return done;
}

bool TCRVio::WaitForData(int /*Seconds*/) { rtl::AssertFail("Assertion failure", CRVioUnit, __LINE__); }

// ---------------------------------------------------------------------------------------------
// TCRIOHandler

void TCRIOHandler::RegisterClient(TCRIOHandler* Handler, rtl::TObject* Client) {
    if (Handler) Handler->DoRegisterClient(Client);
}

void TCRIOHandler::UnRegisterClient(TCRIOHandler* Handler, rtl::TObject* Client) {
    if (Handler) Handler->DoUnRegisterClient(Client);
}

void TCRIOHandler::Disconnect(void*) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }
int TCRIOHandler::Read(void*, char*, int, int) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }
int TCRIOHandler::Write(void*, const char*, int, int) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }
bool TCRIOHandler::WaitForData(void*, int) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }
int TCRIOHandler::GetTimeout(void*) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }
void TCRIOHandler::SetTimeout(void*, int) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }
AnsiString TCRIOHandler::GetLastError(void*) { rtl::AssertFail(SNotOverriden, CRVioUnit, __LINE__); }

}  // namespace daccess
