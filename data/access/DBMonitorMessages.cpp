#include "data/access/DBMonitorMessages.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

constexpr const char* SMalformed = "Malformed monitor message";

void WriteParams(TMessagePacker& P, const TMsgSQLParams& Params) {
    P.WriteInteger(static_cast<int32_t>(Params.size()));
    for (const TMsgSQLParam& p : Params) {
        P.WriteString(p.Name);
        P.WriteString(p.DataType);
        P.WriteString(p.ParamType);
        P.WriteString(p.Value);
    }
}

TMsgSQLParams ReadParams(TMessageUnpacker& U) {
    int count = U.ReadCount(16);
    TMsgSQLParams params;
    for (int i = 0; i < count; ++i) {
        TMsgSQLParam p;
        p.Name = U.ReadString();
        p.DataType = U.ReadString();
        p.ParamType = U.ReadString();
        p.Value = U.ReadString();
        params.push_back(std::move(p));
    }
    return params;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Readers

int TMessageUnpacker::ReadCount(int MinItemSize) {
    int32_t count = ReadInteger();
    int64_t left = Remaining();
    if (count < 0 || (left >= 0 && static_cast<int64_t>(count) * MinItemSize > left))
        throw EMonitorMessageError(SMalformed);
    return count;
}

void TBufferMessageUnpacker::Need(size_t Count) const {
    if (Count > FData.size() - FPos) throw EMonitorMessageError(SMalformed);
}

uint8_t TBufferMessageUnpacker::ReadByte() {
    Need(1);
    return static_cast<uint8_t>(FData[FPos++]);
}

int32_t TBufferMessageUnpacker::ReadInteger() {
    Need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(FData[FPos++]);
    return static_cast<int32_t>(v);
}

WideString TBufferMessageUnpacker::ReadString() {
    int32_t len = ReadInteger();
    if (len < 0) throw EMonitorMessageError(SMalformed);
    Need(static_cast<size_t>(len));
    WideString s = rtl::UTF8ToWide(std::string_view(FData).substr(FPos, static_cast<size_t>(len)));
    FPos += static_cast<size_t>(len);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Messages

TMonitorMessage::TMonitorMessage() : ProcessId(static_cast<int32_t>(::getpid())) {}
TMonitorMessage::TMonitorMessage(int MsgType) : ProcessId(static_cast<int32_t>(::getpid())), FMsgType(MsgType) {}

void TMonitorMessage::Write(TMessagePacker& Packer) { Packer.WriteInteger(ProcessId); }
void TMonitorMessage::Read(TMessageUnpacker& Unpacker) { ProcessId = Unpacker.ReadInteger(); }

void TEventMessage::Write(TMessagePacker& Packer) {
    TMonitorMessage::Write(Packer);
    Packer.WriteInteger(EventType);
    Packer.WriteString(Description);
}

void TEventMessage::Read(TMessageUnpacker& Unpacker) {
    TMonitorMessage::Read(Unpacker);
    EventType = Unpacker.ReadInteger();
    Description = Unpacker.ReadString();
}

void TStartupMessage::Write(TMessagePacker& Packer) {
    TEventMessage::Write(Packer);
    Packer.WriteString(ExeName);
}

void TStartupMessage::Read(TMessageUnpacker& Unpacker) {
    TEventMessage::Read(Unpacker);
    ExeName = Unpacker.ReadString();
}

void TEventStartMessage::Write(TMessagePacker& P) {
    TEventMessage::Write(P);
    P.WriteInteger(EventID);
    P.WriteInteger(StartTime);
    P.WriteInteger(ObjectID);
    P.WriteString(ObjectName);
    P.WriteInteger(ObjectType);
    P.WriteString(ObjectTypeName);
    P.WriteInteger(ParentID);
    P.WriteString(ParentName);
    P.WriteInteger(ParentType);
    P.WriteString(ParentTypeName);
    P.WriteString(SQL);
    WriteParams(P, Params);
    P.WriteInteger(static_cast<int32_t>(CallStack.size()));
    for (const WideString& line : CallStack) P.WriteString(line);
}

void TEventStartMessage::Read(TMessageUnpacker& U) {
    TEventMessage::Read(U);
    EventID = U.ReadInteger();
    StartTime = U.ReadInteger();
    ObjectID = U.ReadInteger();
    ObjectName = U.ReadString();
    ObjectType = U.ReadInteger();
    ObjectTypeName = U.ReadString();
    ParentID = U.ReadInteger();
    ParentName = U.ReadString();
    ParentType = U.ReadInteger();
    ParentTypeName = U.ReadString();
    SQL = U.ReadString();
    Params = ReadParams(U);
    int count = U.ReadCount(4);
    CallStack.clear();
    for (int i = 0; i < count; ++i) CallStack.push_back(U.ReadString());
}

void TEventEndMessage::Write(TMessagePacker& P) {
    TEventMessage::Write(P);
    P.WriteInteger(EventID);
    P.WriteInteger(EndTime);
    P.WriteInteger(Failed);
    P.WriteString(ErrorText);
    WriteParams(P, Params);
    P.WriteInteger(RowsAffected);
}

void TEventEndMessage::Read(TMessageUnpacker& U) {
    TEventMessage::Read(U);
    EventID = U.ReadInteger();
    EndTime = U.ReadInteger();
    Failed = U.ReadInteger();
    ErrorText = U.ReadString();
    Params = ReadParams(U);
    RowsAffected = U.ReadInteger();
}

std::unique_ptr<TMonitorMessage, rtl::TObjectDeleter> ReadMonitorMessage(TMessageUnpacker& Unpacker, int& Kind) {
    Kind = Unpacker.ReadInteger();
    std::unique_ptr<TMonitorMessage, rtl::TObjectDeleter> msg;
    switch (Kind) {
        case MSG_PING: return msg;
        case MSG_EVENT: msg.reset(rtl::Create<TEventMessage>()); break;
        case MSG_STARTUP: msg.reset(rtl::Create<TStartupMessage>()); break;
        case MSG_EVENT_START: msg.reset(rtl::Create<TEventStartMessage>()); break;
        case MSG_EVENT_END: msg.reset(rtl::Create<TEventEndMessage>()); break;
        default: throw EMonitorMessageError(SMalformed);
    }
    msg->Read(Unpacker);
    return msg;
}

// ---------------------------------------------------------------------------------------------
// TSocketMessagePacker

TSocketMessagePacker::TSocketMessagePacker()
    : FBuffer(InitialBufferSize), FVio(rtl::Create<TCRVioTcp>(AnsiString(), DefaultPort)) {}

TSocketMessagePacker::~TSocketMessagePacker() { FVio->Close(); }

bool TSocketMessagePacker::Connect() {
    if (FReconnectPending &&
        static_cast<uint32_t>(rtl::GetTickCount() - FLastConnectFailure) < static_cast<uint32_t>(ReconnectTimeout))
        return false;
    try {
        FVio->Close();
        FVio->SetHost(Host);
        FVio->SetPort(Port == 0 ? DefaultPort : Port);
        // Without time-outs a tool that stops answering would hold the sender thread, and with
        // it the client's shutdown, for as long as the socket layer cares to wait.
        const int seconds = std::max(1, SendTimeout / 1000);
        FVio->SetConnectionTimeout(seconds);
        FVio->Connect();
        FVio->SetSendTimeout(seconds);
        FReconnectPending = false;
        return true;
    } catch (const SocketException&) {
        FVio->Close();
        FReconnectPending = true;
        FLastConnectFailure = rtl::GetTickCount();
        return false;
    }
}

bool TSocketMessagePacker::IsConnected() const { return FVio->IsOpen(); }

void TSocketMessagePacker::Disconnect() { FVio->Close(); }

bool TSocketMessagePacker::Ping() {
    if (!IsConnected()) return false;
    // A tool that went away has closed its side; finding that here makes the next message
    // reconnect instead of vanishing into a dead socket.
    if (FVio->IsPeerClosed()) {
        FVio->Close();
        return false;
    }
    FCount = 0;
    try {
        WriteInteger(MSG_PING);
        Flush();
    } catch (const SocketException&) {
        FVio->Close();
    }
    return IsConnected();
}

void TSocketMessagePacker::Send(TMonitorMessage& Message) {
    FCount = 0;
    try {
        WriteInteger(Message.MsgType());
        Message.Write(*this);
        Flush();
    } catch (const SocketException&) {
        FVio->Close();
    }
}

void TSocketMessagePacker::Grow(size_t Count) {
    size_t free = FBuffer.size() - FCount;
    if (free >= Count || FBuffer.size() >= static_cast<size_t>(MaxBufferSize)) return;
    size_t size = std::max(FCount + Count, FBuffer.size() * 2);
    FBuffer.resize(std::min(size, static_cast<size_t>(MaxBufferSize)));
}

void TSocketMessagePacker::Reserve(size_t Count) {
    Grow(Count);
    if (FBuffer.size() - FCount < Count) Flush();
}

void TSocketMessagePacker::Flush() {
    if (FCount == 0) return;
    int count = static_cast<int>(FCount);
    int sent = FVio->Write(FBuffer.data(), 0, count);
    if (sent < count) {
        int code = errno;
        FCount = 0;
        throw SocketException("Socket error %d", code, {code});
    }
    FCount = 0;
}

void TSocketMessagePacker::WriteByte(uint8_t Value) {
    Reserve(1);
    FBuffer[FCount++] = static_cast<char>(Value);
}

void TSocketMessagePacker::WriteInteger(int32_t Value) {
    Reserve(4);
    uint32_t v = static_cast<uint32_t>(Value);
    FBuffer[FCount++] = static_cast<char>(v >> 24);
    FBuffer[FCount++] = static_cast<char>(v >> 16);
    FBuffer[FCount++] = static_cast<char>(v >> 8);
    FBuffer[FCount++] = static_cast<char>(v);
}

void TSocketMessagePacker::WriteString(const WideString& Value) {
    const rtl::UTF8String bytes = rtl::WideToUTF8(Value);
    WriteInteger(static_cast<int32_t>(bytes.size()));
    Grow(bytes.size());
    size_t done = 0;
    while (done < bytes.size()) {
        if (FCount == FBuffer.size()) Flush();
        size_t n = std::min(FBuffer.size() - FCount, bytes.size() - done);
        std::memcpy(FBuffer.data() + FCount, bytes.data() + done, n);
        FCount += n;
        done += n;
    }
}

}  // namespace daccess
