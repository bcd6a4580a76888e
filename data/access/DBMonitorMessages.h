// The byte stream written to the external monitor tool: message classes with their fields in wire
// order, and the writer that turns them into big-endian integers and UTF-8 strings on a socket.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/access/CRVioTcp.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace daccess {

using rtl::WideString;
using TWideStringDynArray = std::vector<WideString>;

// Message kinds as they travel; the probe has no class.
inline constexpr int MSG_EVENT = 1;
inline constexpr int MSG_STARTUP = 2;
inline constexpr int MSG_EVENT_START = 4;
inline constexpr int MSG_EVENT_END = 5;
inline constexpr int MSG_PING = 6;

// Event types.
inline constexpr int ET_STARTUP = 0;
inline constexpr int ET_FINISH = 1;

struct TMsgSQLParam {
    WideString Name;
    WideString DataType;
    WideString ParamType;
    WideString Value;
};
using TMsgSQLParams = std::vector<TMsgSQLParam>;

// A malformed stream met by a reader.
RTL_DECLARE_EXCEPTION(EMonitorMessageError, rtl::EReadError);

class TMessagePacker : public rtl::TObject {
    RTL_CLASS(TMessagePacker, rtl::TObject)
public:
    virtual void WriteByte(uint8_t Value) = 0;
    virtual void WriteInteger(int32_t Value) = 0;
    virtual void WriteString(const WideString& Value) = 0;
};

// The reading side of the encoding; the system itself never reads, the monitor tool does.
class TMessageUnpacker : public rtl::TObject {
    RTL_CLASS(TMessageUnpacker, rtl::TObject)
public:
    virtual uint8_t ReadByte() = 0;
    virtual int32_t ReadInteger() = 0;
    virtual WideString ReadString() = 0;
    // Bytes left to read, or -1 when the reader cannot tell.
    virtual int64_t Remaining() const { return -1; }
    // A count of items of at least MinItemSize bytes each, refused when it cannot be true.
    int ReadCount(int MinItemSize);
};

// Reads the encoding from bytes in memory; every length is checked against what is left.
class TBufferMessageUnpacker : public TMessageUnpacker {
    RTL_CLASS(TBufferMessageUnpacker, TMessageUnpacker)
public:
    explicit TBufferMessageUnpacker(std::string Data) : FData(std::move(Data)) {}
    uint8_t ReadByte() override;
    int32_t ReadInteger() override;
    WideString ReadString() override;
    int64_t Remaining() const override { return static_cast<int64_t>(FData.size() - FPos); }

private:
    void Need(size_t Count) const;
    std::string FData;
    size_t FPos = 0;
};

class TMonitorMessage : public rtl::TObject {
    RTL_CLASS(TMonitorMessage, rtl::TObject)
public:
    TMonitorMessage();
    int MsgType() const noexcept { return FMsgType; }

    // Append or read the fields after the kind.
    virtual void Write(TMessagePacker& Packer);
    virtual void Read(TMessageUnpacker& Unpacker);

    int32_t ProcessId = 0;

protected:
    explicit TMonitorMessage(int MsgType);
    int FMsgType = 0;
};

class TEventMessage : public TMonitorMessage {
    RTL_CLASS(TEventMessage, TMonitorMessage)
public:
    TEventMessage() : TMonitorMessage(MSG_EVENT) {}
    void Write(TMessagePacker& Packer) override;
    void Read(TMessageUnpacker& Unpacker) override;

    int32_t EventType = 0;
    WideString Description;

protected:
    using TMonitorMessage::TMonitorMessage;
};

class TStartupMessage : public TEventMessage {
    RTL_CLASS(TStartupMessage, TEventMessage)
public:
    TStartupMessage() : TEventMessage(MSG_STARTUP) {}
    void Write(TMessagePacker& Packer) override;
    void Read(TMessageUnpacker& Unpacker) override;

    WideString ExeName;
};

class TEventStartMessage : public TEventMessage {
    RTL_CLASS(TEventStartMessage, TEventMessage)
public:
    TEventStartMessage() : TEventMessage(MSG_EVENT_START) {}
    void Write(TMessagePacker& Packer) override;
    void Read(TMessageUnpacker& Unpacker) override;

    int32_t EventID = 0;
    int32_t StartTime = 0;
    int32_t ObjectID = 0;
    WideString ObjectName;
    int32_t ObjectType = 0;
    WideString ObjectTypeName;
    int32_t ParentID = 0;
    WideString ParentName;
    int32_t ParentType = 0;
    WideString ParentTypeName;
    WideString SQL;
    TMsgSQLParams Params;
    TWideStringDynArray CallStack;
};

class TEventEndMessage : public TEventMessage {
    RTL_CLASS(TEventEndMessage, TEventMessage)
public:
    TEventEndMessage() : TEventMessage(MSG_EVENT_END) {}
    void Write(TMessagePacker& Packer) override;
    void Read(TMessageUnpacker& Unpacker) override;

    int32_t EventID = 0;
    int32_t EndTime = 0;
    int32_t Failed = 0;
    WideString ErrorText;
    TMsgSQLParams Params;
    int32_t RowsAffected = 0;
};

// Reads one message with its kind; a probe gives nullptr with Kind 6. An unknown kind raises
// EMonitorMessageError.
std::unique_ptr<TMonitorMessage, rtl::TObjectDeleter> ReadMonitorMessage(TMessageUnpacker& Unpacker, int& Kind);

// Writes messages to the monitor tool over TCP. Socket failures close the connection and never
// leave the writer; a failed connect is not retried before ReconnectTimeout milliseconds.
class TSocketMessagePacker : public TMessagePacker {
    RTL_CLASS(TSocketMessagePacker, TMessagePacker)
public:
    static constexpr int InitialBufferSize = 1024;
    static constexpr int MaxBufferSize = 32768;
    static constexpr int DefaultPort = 1000;

    TSocketMessagePacker();
    ~TSocketMessagePacker() override;

    AnsiString Host;
    int Port = 0;
    int ReconnectTimeout = 5000;
    int SendTimeout = 1000;

    bool Connect();
    bool IsConnected() const;
    void Disconnect();
    // Writes one probe; false when the connection is not (or no longer) up.
    bool Ping();
    void Send(TMonitorMessage& Message);

    void WriteByte(uint8_t Value) override;
    void WriteInteger(int32_t Value) override;
    void WriteString(const WideString& Value) override;

    int BufferSize() const noexcept { return static_cast<int>(FBuffer.size()); }
    bool ReconnectPending() const noexcept { return FReconnectPending; }

private:
    // Grows the buffer for Count more bytes, as far as the cap allows.
    void Grow(size_t Count);
    // Makes room for Count bytes (Count <= MaxBufferSize).
    void Reserve(size_t Count);
    void Flush();

    std::vector<char> FBuffer;
    size_t FCount = 0;
    rtl::TOwnedPtr<TCRVioTcp> FVio;
    bool FReconnectPending = false;
    uint32_t FLastConnectFailure = 0;
};

}  // namespace daccess
