#pragma once
// The line to an RS-485 bus behind a serial-to-Ethernet gateway in transparent mode: the
// frames travel through one TCP connection unchanged, and the gateway puts them on its serial
// side. Such a line is named "tcp://HOST:PORT" (an IPv4 address, an IPv6 address in brackets
// or a host name) wherever a serial device path is taken. A gateway that converts Modbus RTU to
// Modbus TCP (MBAP header, unit identifier = bus address) is named "modbustcp://HOST:PORT"; it
// carries Modbus only.
#include <memory>
#include <string>

#include "comm/CPort.h"

inline constexpr const char* kTcpPortPrefix = "tcp://";
inline constexpr const char* kModbusTcpPortPrefix = "modbustcp://";
// How long opening waits for the gateway to accept the connection.
inline constexpr int kTcpConnectTimeoutMs = 3000;

// Whether a port name names a network line of either kind (by its prefix; the rest may still be
// malformed), and whether it names a Modbus TCP gateway.
bool IsTcpPortName(const std::string& name);
bool IsModbusTcpPortName(const std::string& name);
// Splits "tcp://HOST:PORT" (or "modbustcp://HOST:PORT") into the host (IPv6 without its brackets)
// and the port 1..65535; false when the name is not of that form.
bool ParseTcpPortName(const std::string& name, std::string& host, int& port);
// The name of a network line as the user reads it: "HOST:PORT" without the prefix.
std::string TcpPortLabel(const std::string& name);
// The network line's name for a host and port typed by the user ("tcp://HOST:PORT", an IPv6
// address put in brackets); empty when the host or the port is not usable.
std::string MakeTcpPortName(const std::string& host, int port);

// The TCP backend. The line settings cannot reach the gateway's serial side through the
// connection; they only set the time-outs, as the bytes cross the RS-485 side at that rate.
std::unique_ptr<TComBackend> MakeTcpBackend(int connectTimeoutMs = kTcpConnectTimeoutMs);
// The Modbus TCP backend: the exchange's Modbus RTU frames are sent with an MBAP header in
// place of their checksum, and the replies handed back as RTU frames; a reply to another
// transaction (a late one) is never handed back. Anything but a Modbus frame is refused.
std::unique_ptr<TComBackend> MakeModbusTcpBackend(int connectTimeoutMs = kTcpConnectTimeoutMs);
// The program's line: a TCP connection for "tcp://" and "modbustcp://" names, the serial device
// otherwise, chosen anew on every open.
std::unique_ptr<TComBackend> MakeLineBackend();
